#include <ktrt/keys/detail/NumberScanner.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

using ktrt::detail::scanFloat;

namespace {

// The scanner reads the token inside a longer buffer, as in a line, and must
// decide and round exactly as sscanf does.
void expectSameAsScanf(const std::string& token) {
    float expected = 0, actual = 0;
    const bool expectedNumber = std::sscanf(token.c_str(), "%f", &expected) == 1;
    std::string line = token + ",tail";
    const bool isNumber = scanFloat(&line[0], &line[0] + token.size(), actual);
    ASSERT_EQ(line.substr(token.size()), ",tail"); // the terminator is undone
    ASSERT_EQ(isNumber, expectedNumber) << '"' << token << '"';
    if (expectedNumber) {
        ASSERT_EQ(std::memcmp(&actual, &expected, sizeof actual), 0)
            << '"' << token << "\" gives " << actual << ", sscanf " << expected;
    }
}

TEST(NumberScanner, DecidesAndRoundsTrickyTokensAsScanfDoes) {
    const char* tokens[] = {
        // not numbers, or numbers only in part
        "", ".", "-", "+", "+-5", "--1", "-.", ".e5", "e5", "abc", "i", "in", "-i", "0x", "-0x",
        "0xg", "\r5", "\v5", "\f5", "\r", "]", "[1", "1]", "\"1\"",
        // plain decimals and their endings
        "0", "-0", "00012", "1.", ".5", "-.5", "+.5", "1e", "1e+", "1e-x", "1.5e3x", "7e0x",
        "1.5.3", "12abc", "1e5e5", "0.1", "0.2", "0.3", "123456789", "16777217", "16777219",
        "1.00000005960464477539062499", "1.000000059604644775390625",
        "1.00000005960464477539062501", "3.4028235e38", "3.40282346638528859811704183484516925e38",
        "3.4028236e38", "3.40282357e38", "1e39", "-1e39", "1e400", "1.17549435e-38",
        "1.1754942e-38", "1e-40", "1.4e-45", "1.401298464324817e-45", "7.0064923e-46",
        "7.006492321624086e-46", "7.006492321624087e-46", "1e-46", "1e-400", "0e999999",
        "0.0000000000000000000000000000000000000000000001",
        "100000000000000000000000000000000000000000000000000",
        // other forms of the C library
        "0x1p3", "0X1P-2", "0x.8", "0x1.", "0x1p", "0x1.fffffep127", "0x1p-149", "0x1p-150",
        "-0x1.8", "inf", "-INF", "+inf", "infinity", "Infinity", "infinit", "nan", "-nan", "NaN",
        "nan(123)", "nan(", "+nan"};
    for (const char* token : tokens)
        expectSameAsScanf(token);
    // Digits followed by bytes that carry or borrow in word-wise digit tests.
    for (const char* tail : {"\xff\xfa", "\x80", "/", ":", "\x2f\x3a", "\x01"})
        for (const char* digits : {"1234567", "12345678", "0.123", "0.1234567", "-9.8765"})
            expectSameAsScanf(std::string(digits) + tail + "12345678");
    expectSameAsScanf(std::string(5000, '7') + ".5");
    expectSameAsScanf("0." + std::string(5000, '0') + "1");
    expectSameAsScanf("1." + std::string(5000, '0') + "1e-45");
}

TEST(NumberScanner, AgreesWithScanfOnRandomDecimalsHalfwayValuesAndStrings) {
    std::mt19937_64 random(42);
    char text[96];
    for (int i = 0; i < 100000; ++i) {
        // 1 to 12 significant digits, a point anywhere, exponents over the
        // whole float range and beyond.
        const int digits = 1 + static_cast<int>(random() % 12);
        std::string token = (random() % 4 == 0) ? "-" : "";
        const int point = static_cast<int>(random() % (digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point)
                token += '.';
            token += static_cast<char>('0' + random() % 10);
        }
        if (random() % 2)
            token += "e" + std::to_string(static_cast<int>(random() % 100) - 55);
        expectSameAsScanf(token);
    }
    for (int i = 0; i < 100000; ++i) {
        // The exact midpoint between two neighbouring floats, and its
        // neighbours in the last printed digit: ties round to even.
        std::uint32_t bits = static_cast<std::uint32_t>(random() % 0x7f7fffffu);
        float low;
        std::memcpy(&low, &bits, sizeof low);
        const float high = std::nextafter(low, std::numeric_limits<float>::infinity());
        const double middle = (static_cast<double>(low) + high) / 2;
        std::snprintf(text, sizeof text, "%.60g", middle);
        expectSameAsScanf(text);
        std::snprintf(text, sizeof text, "%.17g", std::nextafter(middle, 0.0));
        expectSameAsScanf(text);
        std::snprintf(text, sizeof text, "%.17g", std::nextafter(middle, 1e300));
        expectSameAsScanf(text);
        std::snprintf(text, sizeof text, "%.9g", low);
        expectSameAsScanf(text);
    }
    // Random strings of the characters a number may hold.
    const char alphabet[] = "0123456789.eE+-xXpPinfatyINFATY(),\r";
    for (int i = 0; i < 200000; ++i) {
        std::string token(1 + random() % 10, ' ');
        for (char& c : token)
            c = alphabet[random() % (sizeof alphabet - 1)];
        expectSameAsScanf(token);
    }
}

} // namespace
