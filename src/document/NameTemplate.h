// The name template: the text that makes a capture's file name from tokens ("{name}-{number}"
// gives "Photo-0003"); parsed once, rendered for each capture into the fixed text around the
// number, every part checked so that an unsafe name is refused with the token that made it.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the tokens other than the number stand for, for one capture.
struct NameContext {
    std::string name;         // {name}: the capture name
    std::tm when{};           // {date}, {time}: the capture's local date and time
    std::string camera;       // {camera}: the camera model
    std::string series;       // {series}: the stack or bracket the picture belongs to
    std::string cameraFile;   // {camfile}, {camnum}: the camera's own file name ("IMG_0412.JPG")
    std::string job;          // {job}: the free job text
};

// A rendered template: prefix + number (at least width digits) + suffix, then "." and the
// extension. anySeparator: the prefix's last character is the template's own text, and a file
// whose name has any character there counts (as "Photo_0007.jpg" always counted for "Photo").
struct NamePattern {
    std::string prefix;
    std::string suffix;
    int width = 4;
    bool anySeparator = true;
    // Where the bytes of prefix and suffix came from: a token ("{job}") or "the template's own
    // text", with their count; the number is not among them.
    std::vector<std::pair<std::string, std::size_t>> parts;
    // The part with the most bytes, for a name that is too long.
    std::string LongestPart() const;
};

class NameTemplate {
public:
    static constexpr const char* kDefault = "{name}-{number}";
    static constexpr int kMaxWidth = 10;   // a 32-bit number has at most ten digits

    // One token of the menu: what is inserted and what it gives.
    struct TokenInfo {
        const char* text;
        const char* meaning;
    };
    static const std::vector<TokenInfo>& Tokens();

    // Parses text; error() says what is wrong when it cannot be used.
    explicit NameTemplate(std::string_view text = kDefault);
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& text() const { return text_; }
    bool isDefault() const { return text_ == kDefault; }
    bool usesName() const;   // {name} is among its tokens

    // Everything but the number, checked: false with a line naming the token when a part holds
    // '/', a control character, or is "." or "..".
    bool Render(const NameContext& context, NamePattern& pattern, std::string& why) const;

    // Whether the template could have made stem (a file name without its extension) with
    // {name} and {job} as given: its own text and those two as written (ASCII case aside),
    // {date} and {time} digits where their format has letters, {camera}, {series} and
    // {camfile} any text without '/', {camnum} digits or none, {number} at least its width in
    // digits. Gives the number read from {number}; empty when it could not have (or the
    // template cannot be used).
    std::optional<std::uint32_t> NumberIn(std::string_view stem, std::string_view name,
                                          std::string_view job) const;
    // The same for many names of one capture name and job: what a name must be is worked out
    // once. One thread at a time.
    class Reader {
    public:
        std::optional<std::uint32_t> NumberIn(std::string_view stem) const;

    private:
        friend class NameTemplate;
        struct Atoms;
        std::shared_ptr<Atoms> atoms_;   // null when the template cannot be used
    };
    Reader ReaderFor(std::string_view name, std::string_view job) const;
    // A token other than {name}, {job} and {number} is used: the number starts again for each
    // of its values, so it does not tell the pictures of a folder apart.
    bool hasVaryingTokens() const;

    // The digits of a camera's file name ("IMG_0412.JPG" -> "0412"): its last run of digits
    // before the extension; empty when it has none.
    static std::string CameraNumber(const std::string& cameraFile);
    // A date and time in the format's letters: yyyy, yy, MM, dd, HH, mm, ss; other
    // characters as they are.
    static std::string FormatTime(const std::tm& when, std::string_view format);

private:
    enum class Kind { Text, Name, Number, Date, Camera, Series, CamFile, CamNum, Job };
    struct Piece {
        Kind kind;
        std::string text;    // Text: the characters; Date: the format
        std::string token;   // as written, for messages ("{date:yyyy/MM}")
    };
    bool ParseToken(std::string_view inside);

    std::string text_;
    std::string error_;
    std::vector<Piece> pieces_;
    int width_ = 4;
};
