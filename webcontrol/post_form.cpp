#include "webcontrol/post_form.h"

#include "platform/text.h"
#include "webcontrol/web_control_intf.h"

namespace uitWebControl {

namespace {

// 0x80..0x9F of windows-1252; the five bytes the code page leaves unassigned map to the
// control characters of the same value, which the encoder turns back into those bytes.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Escapes for a double-quoted attribute value.
std::string AttributeText(const std::string& bytes) {
    std::string out;
    for (unsigned char byte : bytes) {
        switch (byte) {
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '\r': out += "&#13;"; break;
            case '\n': out += "&#10;"; break;
            case '\t': out += "&#9;"; break;
            case 0: out += "&#0;"; break;
            default: out += Windows1252Character(byte);
        }
    }
    return out;
}

}  // namespace

std::string Windows1252Character(unsigned char byte) {
    char16_t unit = byte;
    if (byte >= 0x80 && byte <= 0x9F) unit = kHighControls[byte - 0x80];
    return kivo::Utf16ToUtf8(std::u16string(1, unit));
}

std::string PostBodyBytes(const std::u16string& PostData) {
    std::string bytes;
    bytes.reserve(PostData.size());
    for (char16_t unit : PostData) {
        if (unit > 0xFF)
            throw gameKivo_TLB::WebControlError(
                "PostData holds a character that is not a byte value (above 255)");
        bytes += static_cast<char>(unit);
    }
    return bytes;
}

std::vector<PostField> ParsePostBody(const std::string& body) {
    std::vector<PostField> fields;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        const std::string_view piece(body.data() + start, end - start);
        if (!piece.empty()) {
            const size_t eq = piece.find('=');
            if (eq == std::string_view::npos)
                fields.push_back({kivo::DecodeFormComponent(piece), ""});
            else
                fields.push_back(
                    {kivo::DecodeFormComponent(piece.substr(0, eq)), kivo::DecodeFormComponent(piece.substr(eq + 1))});
        }
        start = end + 1;
    }
    return fields;
}

std::string PostFormDocument(const std::vector<PostField>& fields) {
    std::string html =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>"
        "<form id=\"kivo-post\" method=\"post\" action=\"\" accept-charset=\"windows-1252\" "
        "enctype=\"application/x-www-form-urlencoded\">";
    for (const PostField& field : fields) {
        html += "<input type=\"hidden\" name=\"" + AttributeText(field.name) + "\" value=\"" +
                AttributeText(field.value) + "\">";
    }
    // Submitted once the document has loaded: a submission during the load would take the place
    // of the page before it in the history.
    html +=
        "</form><script>window.addEventListener(\"load\", function () { setTimeout(function () "
        "{ document.getElementById(\"kivo-post\").submit(); }, 0); });</script></body></html>";
    return html;
}

}  // namespace uitWebControl
