#pragma once
#include <string>

// What proves that a partial file and the server's current file are the same version.
struct Validator {
    enum Kind { None, EntityTag, LastModified };
    Kind kind = None;
    std::wstring value;  // the header value exactly as received, quotes included
};

// The longest header value kept as a validator. Its stored form is four times as long and
// must fit the 4096-character INI read buffer; a longer one means "no validator" (no resume).
constexpr size_t MAX_VALIDATOR_LENGTH = 1000;

// A strong ETag if there is one, else Last-Modified, else none. A weak ETag (W/"...")
// cannot make If-Range succeed, so it is passed over in favour of the date.
Validator ChooseValidator(const std::wstring& entityTag, const std::wstring& lastModified);

// State-file form of a header value: four hex digits per UTF-16 unit. It contains no quotes
// or blanks, so the private-profile functions return it unchanged (they strip one pair of
// quotes, which would break an ETag stored as it stands).
std::wstring EncodeStateText(const std::wstring& value);
// Reverse of EncodeStateText; false (and `value` untouched) on anything malformed.
bool DecodeStateText(const std::wstring& text, std::wstring& value);
