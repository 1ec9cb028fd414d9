#include <string>
#include <vector>

#include "remote/blowfish.h"
#include "remote/cipher_error.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

std::vector<std::uint8_t> FromHex(std::string_view hex)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return bytes;
}

// Eric Young's published ECB vectors (64-bit keys): key, plain text, cipher text.
TEST(Blowfish, EcbVectors)
{
    struct TCase
    {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    const TCase cases[] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
        {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
        {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
        {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
        {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
        {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
        {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
        {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
        {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
        {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
        {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
        {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
        {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
        {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
        {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
        {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
        {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
        {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
        {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
        {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
        {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
        {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
        {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
        {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
        {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
        {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
    };
    for (const auto& [key, plain, cipher] : cases) {
        const std::string name = std::string(key) + " / " + plain;
        SCOPED_TRACE(name);
        const auto keyBytes = FromHex(key);
        TBlowfish blowfish;
        blowfish.SetKey(keyBytes.data(), keyBytes.size());
        auto block = FromHex(plain);
        blowfish.EncryptBlock(block.data());
        EXPECT_EQ(block, FromHex(cipher));
        blowfish.DecryptBlock(block.data());
        EXPECT_EQ(block, FromHex(plain));
    }
}

// The same set's key-length series: prefixes of one 24-byte key, plain text FEDCBA9876543210.
TEST(Blowfish, VariableKeyLengthVectors)
{
    const auto fullKey = FromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    struct TCase
    {
        std::size_t keySize;
        const char* cipher;
    };
    const TCase cases[] = {
        {1, "F9AD597C49DB005E"},  {2, "E91D21C1D961A6D6"},  {3, "E9C2B70A1BC65CF3"},
        {4, "BE1E639408640F05"},  {5, "B39E44481BDB1E6E"},  {6, "9457AA83B1928C0D"},
        {7, "8BB77032F960629D"},  {8, "E87A244E2CC85E82"},  {9, "15750E7A4F4EC577"},
        {10, "122BA70B3AB64AE0"}, {11, "3A833C9AFFC537F6"}, {12, "9409DA87A90F6BF2"},
        {13, "884F80625060B8B4"}, {14, "1F85031C19E11968"}, {15, "79D9373A714CA34F"},
        {16, "93142887EE3BE15C"}, {17, "03429E838CE2D14B"}, {18, "A4299E27469FF67B"},
        {19, "AFD5AED1C1BC96A8"}, {20, "10851C0E3858DA9F"}, {21, "E6F51ED79B9DB21F"},
        {22, "64A6E14AFD36B46F"}, {23, "80C7D7D45A5479AD"}, {24, "05044B62FA52D080"},
    };
    for (const auto& [keySize, cipher] : cases) {
        SCOPED_TRACE(testing::Message() << "key bytes " << keySize);
        TBlowfish blowfish;
        blowfish.SetKey(fullKey.data(), keySize);
        auto block = FromHex("FEDCBA9876543210");
        blowfish.EncryptBlock(block.data());
        EXPECT_EQ(block, FromHex(cipher));
    }
}

TEST(Blowfish, KeySizeLimits)
{
    const std::vector<std::uint8_t> key(57, 0x42);
    struct TCase
    {
        const char* name;
        std::size_t size;
        const char* error;
    };
    const TCase cases[] = {
        {"empty", 0, "Blowfish: Invalid key size - 0"},
        {"one byte", 1, nullptr},
        {"448 bits", 56, nullptr},
        {"456 bits", 57, "Blowfish: Invalid key size - 456"},
    };
    for (const auto& [name, size, error] : cases) {
        SCOPED_TRACE(name);
        TBlowfish blowfish;
        if (error == nullptr) {
            EXPECT_NO_THROW(blowfish.SetKey(key.data(), size));
            continue;
        }
        try {
            blowfish.SetKey(key.data(), size);
            ADD_FAILURE() << "no error";
        } catch (const TCipherError& thrown) {
            EXPECT_STREQ(thrown.what(), error);
        }
    }
}

// A re-key must start from the initial tables, not from the previous schedule.
TEST(Blowfish, RekeyAndClear)
{
    const auto first = FromHex("0123456789ABCDEF");
    const auto second = FromHex("FEDCBA9876543210");
    TBlowfish blowfish;
    blowfish.SetKey(first.data(), first.size());
    blowfish.SetKey(second.data(), second.size());
    auto block = FromHex("0123456789ABCDEF");
    blowfish.EncryptBlock(block.data());
    EXPECT_EQ(block, FromHex("0ACEAB0FC6A0A28D"));

    blowfish.Clear();
    auto cleared = FromHex("0123456789ABCDEF");
    blowfish.EncryptBlock(cleared.data());
    EXPECT_NE(cleared, FromHex("0ACEAB0FC6A0A28D"));
    blowfish.SetKey(second.data(), second.size());
    auto again = FromHex("0123456789ABCDEF");
    blowfish.EncryptBlock(again.data());
    EXPECT_EQ(again, FromHex("0ACEAB0FC6A0A28D"));
}

} // namespace
} // namespace statlume
