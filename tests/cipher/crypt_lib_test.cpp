#include "cipher/crypt_lib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "cipher/stored_value.h"

namespace kivo::cipher {
namespace {

const std::u16string kPassword = u"518204";

std::u16string Encrypt(std::u16string_view value, std::u16string password = kPassword) {
    TCryptLib lib;
    lib.SetPassword(std::move(password));
    return lib.EncryptStr(value);
}

std::u16string Decrypt(std::u16string_view text, std::u16string password = kPassword) {
    TCryptLib lib;
    lib.SetPassword(std::move(password));
    return lib.DecryptStr(text);
}

// The message of the cipher error the call raises.
template <typename Call>
std::string ErrorOf(Call call) {
    try {
        call();
    } catch (const TCryptLibError& e) {
        return e.what();
    }
    return "no error";
}

std::string DecryptError(std::u16string_view text) {
    return ErrorOf([text] { Decrypt(text); });
}

// A value of printable ASCII of the given length.
std::u16string Sample(std::size_t length) {
    std::u16string value(length, u' ');
    for (std::size_t i = 0; i < length; ++i) value[i] = static_cast<char16_t>(32 + (i * 7) % 95);
    return value;
}

TEST(TCryptLibTest, PropertiesDefaultsAndRefusals) {
    TCryptLib lib;
    EXPECT_EQ(lib.Password(), u"604719");
    EXPECT_EQ(lib.MultKey(), 3572);
    EXPECT_EQ(lib.AddKey(), 2846);
    EXPECT_TRUE(lib.Compression());

    lib.SetPassword(u"123456789012");
    EXPECT_EQ(lib.Password(), u"123456789012");
    EXPECT_EQ(ErrorOf([&] { lib.SetPassword(u"1234567890123"); }),
              "TCryptLib.Password is too long");
    EXPECT_EQ(lib.Password(), u"");
    // The empty password then works like any other.
    EXPECT_EQ(lib.DecryptStr(lib.EncryptStr(u"abc")), u"abc");

    EXPECT_EQ(ErrorOf([&] { lib.SetMultKey(0); }), "TCryptLib.MultKey is too big");
    EXPECT_EQ(lib.MultKey(), 1);
    EXPECT_EQ(ErrorOf([&] { lib.SetAddKey(0); }), "TCryptLib.AddKey is too big");
    EXPECT_EQ(lib.AddKey(), 1);
    lib.SetMultKey(-5);
    lib.SetAddKey(-7);
    EXPECT_EQ(lib.MultKey(), -5);
    EXPECT_EQ(lib.AddKey(), -7);
}

// Texts worked out by hand from the stored format, one digit pair per character.
TEST(TCryptLibTest, EnciphersToTheStoredText) {
    EXPECT_EQ(Encrypt(u""), u"");
    EXPECT_EQ(Encrypt(u"a"), u"C8");
    EXPECT_EQ(Encrypt(u"ab"), u"BE9C");
    EXPECT_EQ(Encrypt(u"admin123"), u"BF370D2E5825C831");
    EXPECT_EQ(Encrypt(std::u16string(u"Passw0rd!é\u00ff") + u'\0' + u"x"),
              u"EB8C4C19AAE538D2A14472FFC5");
    EXPECT_EQ(Encrypt(u"hello world", u"604719"), u"A7A3DF95C76D98F4D13507");
    // Every operation starts from the keys again.
    TCryptLib lib;
    lib.SetPassword(kPassword);
    EXPECT_EQ(lib.EncryptStr(u"admin123"), lib.EncryptStr(u"admin123"));
}

TEST(TCryptLibTest, DeciphersStoredTexts) {
    EXPECT_EQ(Decrypt(u""), u"");
    EXPECT_EQ(Decrypt(u"C8"), u"a");
    EXPECT_EQ(Decrypt(u"BF370D2E5825C831"), u"admin123");
    EXPECT_EQ(Decrypt(u"bf370d2e5825c831"), u"admin123");
    EXPECT_EQ(Decrypt(u"Bf370D2e5825C831"), u"admin123");
    // An odd last character is ignored, whatever it is.
    EXPECT_EQ(Decrypt(u"BF370D2E5825C8317"), u"admin123");
    EXPECT_EQ(Decrypt(u"BF370D2E5825C831z"), u"admin123");
    EXPECT_EQ(Decrypt(u"7"), u"");
}

TEST(TCryptLibTest, RefusesTextThatIsNotHexadecimal) {
    const std::string error = "TCryptLib: decrypting error - not hexlook string";
    EXPECT_EQ(DecryptError(u"BF37 D2E"), error);
    EXPECT_EQ(DecryptError(u"G0"), error);
    EXPECT_EQ(DecryptError(u"0x12"), error);
    EXPECT_EQ(DecryptError(u"C８"), error);  // a full-width digit
    EXPECT_EQ(DecryptError(u"admin123"), error);
}

TEST(TCryptLibTest, OnlyPasswordCharacters1256910Count) {
    const std::u16string value = u"someone@example.com";
    EXPECT_EQ(Encrypt(value, u"ab__cd__ef"), Encrypt(value, u"abXYcdZWefQQ"));
    EXPECT_EQ(Encrypt(value, u"ab"), Encrypt(value, u"ab??"));
    EXPECT_NE(Encrypt(value, u"ab__cd__ef"), Encrypt(value, u"ab__cD__ef"));
    EXPECT_NE(Encrypt(value, u"ab__cd__ef"), Encrypt(value, u"ab__cd__eF"));
    EXPECT_NE(Encrypt(value, u"518204"), Encrypt(value, u"518205"));
}

TEST(TCryptLibTest, KeysAndGeneratorCarryAcrossBlocks) {
    const std::u16string value = Sample(32769);
    const std::u16string text = Encrypt(value);
    ASSERT_EQ(text.size(), 65538u);
    EXPECT_EQ(text.substr(0, 16), u"B3B86CC3CB83F076");
    EXPECT_EQ(text.substr(text.size() - 16), u"2886F5EFD991A0E9");
    // The first block does not depend on what follows it.
    EXPECT_EQ(Encrypt(value.substr(0, 32768)), text.substr(0, 65536));
    EXPECT_EQ(Decrypt(text), value);
    // Read as a text of its own, the second block does not come back.
    EXPECT_NE(Decrypt(text.substr(65536)), value.substr(32768));

    std::u16string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char16_t c) { return c >= u'A' && c <= u'F' ? c + 32 : c; });
    EXPECT_EQ(Decrypt(lower), value);

    // The odd last digit of the first 65536-digit piece is the one ignored.
    const std::u16string long_value = Sample(3 * 32768);
    EXPECT_EQ(Decrypt(Encrypt(long_value)), long_value);
}

TEST(TCryptLibTest, WrongKeysGiveOtherCharactersSilently) {
    const std::u16string text = Encrypt(u"secret");
    EXPECT_NE(Decrypt(text, u"518205"), u"secret");
    TCryptLib lib;
    lib.SetPassword(kPassword);
    lib.SetMultKey(3573);
    EXPECT_NE(lib.DecryptStr(text), u"secret");
}

TEST(TCryptLibTest, CharactersAboveFFSurvive) {
    const std::u16string chinese = u"张三的密码";
    const std::u16string text = Encrypt(chinese);
    EXPECT_TRUE(text.starts_with(TCryptLib::kWideMarker));
    EXPECT_EQ(text.size(), TCryptLib::kWideMarker.size() + 4 * chinese.size());
    EXPECT_EQ(text.substr(TCryptLib::kWideMarker.size()).find_first_not_of(u"0123456789ABCDEF"),
              std::u16string::npos);
    EXPECT_EQ(Decrypt(text), chinese);

    // Mixed, surrogate pairs, unpaired surrogates and a value spanning blocks.
    for (const std::u16string& value : {std::u16string(u"user名é"), std::u16string(u"\U0001F600x"),
                                        std::u16string(1, char16_t(0xD800)) + u"a",
                                        std::u16string(u"\u0100"), Sample(20000) + u"汉"}) {
        EXPECT_EQ(Decrypt(Encrypt(value)), value);
    }
    // A wide text that lost a digit pair is damaged, not silently shortened.
    EXPECT_EQ(DecryptError(text.substr(0, text.size() - 2)),
              "TCryptLib: decrypting error - not hexlook string");
    // Values up to U+00FF never take the wide form.
    EXPECT_EQ(Encrypt(u"\u00ff\u00e9").size(), 4u);
}

TEST(StoredValueTest, WrappersSetThePasswordUnlessItIsEmpty) {
    TCryptLib lib;
    const std::u16string password(kStoredValuePassword);
    EXPECT_EQ(EncryptValue(lib, u"admin123", password), u"BF370D2E5825C831");
    EXPECT_EQ(lib.Password(), u"518204");
    EXPECT_EQ(DecryptValue(lib, u"bf370d2e5825c831", password), u"admin123");
    EXPECT_EQ(DecryptValue(lib, EncryptValue(lib, u"张三abc", password), password), u"张三abc");
    // An empty password leaves the value as it is, even when it is not hexadecimal.
    EXPECT_EQ(EncryptValue(lib, u"张三", u""), u"张三");
    EXPECT_EQ(DecryptValue(lib, u"not hex", u""), u"not hex");
    EXPECT_THROW(EncryptValue(lib, u"x", u"1234567890123"), TCryptLibError);
}

}  // namespace
}  // namespace kivo::cipher
