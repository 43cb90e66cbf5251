#pragma once
// A navigation with a request body. The engine cannot load a body directly, so the view loads a
// small generated document, based at the target address, whose form posts the same name/value
// bytes as "application/x-www-form-urlencoded". The body reaches the page only as attribute
// values of that form; its script text is fixed.
#include <string>
#include <vector>

namespace uitWebControl {

// The body bytes of PostData: one byte per UTF-16 code unit. A code unit above 255 cannot be
// sent and fails the call.
std::string PostBodyBytes(const std::u16string& PostData);

struct PostField {
    std::string name;   // decoded bytes
    std::string value;  // decoded bytes
};

// Splits an urlencoded body into its fields and decodes "+" and %XX escapes. Empty pieces
// between "&" carry no field; a malformed escape stays as it is.
std::vector<PostField> ParsePostBody(const std::string& body);

// The generated document (UTF-8) that posts the fields to its own address.
std::string PostFormDocument(const std::vector<PostField>& fields);

// The character that windows-1252 encodes as `byte`, as UTF-8: the form's encoding turns it back
// into exactly that byte.
std::string Windows1252Character(unsigned char byte);

}  // namespace uitWebControl
