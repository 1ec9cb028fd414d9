#include "remote/request_detection.h"

namespace statlume {

bool IsRequest(const std::uint8_t* bytes, std::size_t count)
{
    return bytes != nullptr && count > 0 && bytes[count - 1] == RequestByte;
}

} // namespace statlume
