#include "remote/socket_layer.h"

namespace statlume {

std::string_view SocketOpName(TSocketOp op)
{
    switch (op) {
    case TSocketOp::Lookup:
        return "lookup";
    case TSocketOp::Connect:
        return "connect";
    case TSocketOp::Accept:
        return "accept";
    case TSocketOp::Read:
        return "read";
    case TSocketOp::Write:
        return "write";
    case TSocketOp::Disconnect:
        return "disconnect";
    }
    return "unknown";
}

std::string SocketErrorMessage(const std::error_code& code, std::string_view api)
{
    return "Socket error: " + code.message() + " (" + std::to_string(code.value()) + "), on API '" +
           std::string(api) + "'";
}

TSocketError::TSocketError(const std::error_code& code, std::string_view api)
    : std::runtime_error(SocketErrorMessage(code, api))
    , Code(code)
    , Api(api)
{
}

void TServerSocket::RaiseClientError(TSocketConnection& connection, TSocketOp op,
                                     std::error_code code)
{
    int value = code.value();
    if (OnClientError)
        OnClientError(connection, op, value);
    if (value != 0 && OnReport)
        OnReport(SocketErrorMessage(code, SocketOpName(op)));
}

void TClientSocket::RaiseError(TSocketOp op, std::error_code code)
{
    int value = code.value();
    if (OnError)
        OnError(op, value);
    if (value != 0 && OnReport)
        OnReport(SocketErrorMessage(code, SocketOpName(op)));
}

} // namespace statlume
