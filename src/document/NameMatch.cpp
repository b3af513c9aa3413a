// Reading a file name back through a name template: could the template have made it, and with
// which number.
#include "document/NameTemplate.h"

#include <vector>

// Named, not anonymous: the reader's atoms (a member of NameTemplate::Reader) are of its types.
namespace namematch {

// What one stretch of a file name must be.
struct Atom {
    enum Kind { Text, Digits, AnyText, AnyDigits, Number } kind;
    std::string text;        // Text: the characters
    std::size_t count = 0;   // Digits: exactly this many; Number: at least this many
};

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits that make a 32-bit number.
bool Fits(std::string_view digits) {
    std::uint64_t value = 0;
    for (const char c : digits) value = value * 10 + static_cast<std::uint64_t>(c - '0');
    return value <= 0xFFFFFFFFull;
}

void AddText(std::vector<Atom>& atoms, std::string_view text) {
    if (text.empty()) return;
    if (!atoms.empty() && atoms.back().kind == Atom::Text) atoms.back().text += text;
    else atoms.push_back({Atom::Text, std::string(text), 0});
}

// A date or time format as atoms: two or four digits for its letters, the rest as written.
void AddFormat(std::vector<Atom>& atoms, std::string_view format) {
    for (std::size_t i = 0; i < format.size();) {
        const std::string_view rest = format.substr(i);
        std::size_t letters = 0;
        if (rest.starts_with("yyyy")) letters = 4;
        else if (rest.starts_with("yy") || rest.starts_with("MM") || rest.starts_with("dd") ||
                 rest.starts_with("HH") || rest.starts_with("mm") || rest.starts_with("ss"))
            letters = 2;
        if (letters == 0) {
            AddText(atoms, rest.substr(0, 1));
            ++i;
            continue;
        }
        if (!atoms.empty() && atoms.back().kind == Atom::Digits) atoms.back().count += letters;
        else atoms.push_back({Atom::Digits, std::string(), letters});
        i += letters;
    }
}

// Matches atoms[a..] against stem[pos..]; failed (a, pos) pairs are remembered, so the work is
// bounded by atoms x length x length however many wildcards the template has.
struct Matcher {
    const std::vector<Atom>& atoms;
    std::string_view stem;
    std::vector<char>& failed;
    std::size_t numberBegin = 0, numberEnd = 0;

    bool match(std::size_t a, std::size_t pos) {
        if (a == atoms.size()) return pos == stem.size();
        char& seen = failed[a * (stem.size() + 1) + pos];
        if (seen) return false;
        const Atom& atom = atoms[a];
        const std::size_t left = stem.size() - pos;
        switch (atom.kind) {
            case Atom::Text:
                if (atom.text.size() <= left) {
                    bool same = true;
                    for (std::size_t i = 0; same && i < atom.text.size(); ++i)
                        same = LowerAscii(atom.text[i]) == LowerAscii(stem[pos + i]);
                    if (same && match(a + 1, pos + atom.text.size())) return true;
                }
                break;
            case Atom::Digits: {
                std::size_t n = 0;
                while (n < atom.count && n < left && IsDigit(stem[pos + n])) ++n;
                if (n == atom.count && match(a + 1, pos + n)) return true;
                break;
            }
            case Atom::AnyText:   // shortest first, so what follows gets the most
                for (std::size_t n = 0; n <= left; ++n) {
                    if (n > 0 && stem[pos + n - 1] == '/') break;
                    if (match(a + 1, pos + n)) return true;
                }
                break;
            case Atom::AnyDigits:   // shortest first, as any text
                for (std::size_t n = 0; n <= left; ++n) {
                    if (n > 0 && !IsDigit(stem[pos + n - 1])) break;
                    if (match(a + 1, pos + n)) return true;
                }
                break;
            case Atom::Number: {       // longest first: the number takes all the digits it can
                std::size_t run = 0;   // at most the ten digits of a 32-bit number
                while (run < left && run < 10 && IsDigit(stem[pos + run])) ++run;
                for (std::size_t n = run; n >= atom.count && n > 0; --n)
                    if (Fits(stem.substr(pos, n)) && match(a + 1, pos + n)) {
                        numberBegin = pos;
                        numberEnd = pos + n;
                        return true;
                    }
                break;
            }
        }
        seen = 1;
        return false;
    }
};

}   // namespace namematch

using namespace namematch;

bool NameTemplate::hasVaryingTokens() const {
    for (const Piece& piece : pieces_)
        if (piece.kind != Kind::Text && piece.kind != Kind::Name && piece.kind != Kind::Job &&
            piece.kind != Kind::Number)
            return true;
    return false;
}

struct NameTemplate::Reader::Atoms {
    std::vector<Atom> atoms;
    std::string head, tail;     // text every name starts and ends with, in lower case
    std::vector<char> failed;   // the matcher's memory, kept for the next name
};

NameTemplate::Reader NameTemplate::ReaderFor(std::string_view name, std::string_view job) const {
    Reader reader;
    if (!ok()) return reader;
    auto made = std::make_shared<Reader::Atoms>();
    std::vector<Atom>& atoms = made->atoms;
    for (const Piece& piece : pieces_) {
        switch (piece.kind) {
            case Kind::Text: AddText(atoms, piece.text); break;
            case Kind::Name: AddText(atoms, name); break;
            case Kind::Job: AddText(atoms, job); break;
            case Kind::Date: AddFormat(atoms, piece.text); break;
            case Kind::Camera:
            case Kind::Series:
            case Kind::CamFile:
                if (atoms.empty() || atoms.back().kind != Atom::AnyText)
                    atoms.push_back({Atom::AnyText, std::string(), 0});
                break;
            case Kind::CamNum: atoms.push_back({Atom::AnyDigits, std::string(), 0}); break;
            case Kind::Number:
                atoms.push_back({Atom::Number, std::string(), static_cast<std::size_t>(width_)});
                break;
        }
    }
    const auto lowered = [](std::string text) {
        for (char& c : text) c = LowerAscii(c);
        return text;
    };
    if (!atoms.empty() && atoms.front().kind == Atom::Text)
        made->head = lowered(atoms.front().text);
    if (atoms.size() > 1 && atoms.back().kind == Atom::Text)
        made->tail = lowered(atoms.back().text);
    reader.atoms_ = std::move(made);
    return reader;
}

std::optional<std::uint32_t> NameTemplate::Reader::NumberIn(std::string_view stem) const {
    // No file name is longer than 255 bytes, which bounds the match's work too.
    if (!atoms_ || stem.size() > 255) return std::nullopt;
    const std::string& head = atoms_->head;
    const std::string& tail = atoms_->tail;
    // Most files of a folder differ at once at the start or the end.
    if (stem.size() < head.size() + tail.size()) return std::nullopt;
    for (std::size_t i = 0; i < head.size(); ++i)
        if (LowerAscii(stem[i]) != head[i]) return std::nullopt;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (LowerAscii(stem[stem.size() - tail.size() + i]) != tail[i]) return std::nullopt;
    std::vector<char>& failed = atoms_->failed;
    failed.assign(atoms_->atoms.size() * (stem.size() + 1), 0);
    Matcher matcher{atoms_->atoms, stem, failed};
    if (!matcher.match(0, 0)) return std::nullopt;
    std::uint32_t number = 0;
    for (std::size_t i = matcher.numberBegin; i < matcher.numberEnd; ++i)
        number = number * 10 + static_cast<std::uint32_t>(stem[i] - '0');
    return number;
}

std::optional<std::uint32_t> NameTemplate::NumberIn(std::string_view stem, std::string_view name,
                                                    std::string_view job) const {
    return ReaderFor(name, job).NumberIn(stem);
}
