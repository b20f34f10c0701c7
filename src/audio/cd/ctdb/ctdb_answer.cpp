#include "ctdb_answer.h"

#include <charconv>
#include <map>
#include <string_view>

#include "ctdb_code.h"

namespace sonfeld::ctdb {

namespace {

constexpr std::string_view kNamespace = "http://db.cuetools.net/ns/mmd-1.0#";
constexpr int kMaxDepth = 32;

using Attributes = std::map<std::string, std::string>;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' || c == ':';
}

void AppendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class Reader {
public:
    Reader(const char* data, std::size_t size) : text_(data, size) {}

    // Calls onChild(name, attributes) for each element directly below the root.
    template <typename OnChild>
    std::string Read(std::string& rootName, Attributes& rootAttributes, OnChild onChild)
    {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF")
            at_ = 3;
        bool rootDone = false;
        int depth = 0;
        while (true) {
            if (depth == 0)
                SkipSpace();
            if (at_ >= text_.size())
                break;
            if (text_[at_] != '<') {
                if (depth == 0)
                    return "text outside the root element";
                std::string ignored;
                if (!ReadText('<', ignored))
                    return error_;
                continue;
            }
            if (Starts("<?")) {
                const std::size_t end = text_.find("?>", at_);
                if (end == std::string_view::npos)
                    return "unterminated processing instruction";
                at_ = end + 2;
                continue;
            }
            if (Starts("<!--")) {
                const std::size_t end = text_.find("-->", at_ + 4);
                if (end == std::string_view::npos)
                    return "unterminated comment";
                at_ = end + 3;
                continue;
            }
            if (Starts("<![CDATA[")) {
                if (depth == 0)
                    return "CDATA outside the root element";
                const std::size_t end = text_.find("]]>", at_);
                if (end == std::string_view::npos)
                    return "unterminated CDATA section";
                at_ = end + 3;
                continue;
            }
            if (Starts("<!"))
                return "document type declarations are not accepted";
            if (Starts("</")) {
                at_ += 2;
                const std::string name = ReadName();
                SkipSpace();
                if (name.empty() || at_ >= text_.size() || text_[at_] != '>')
                    return "malformed end tag";
                ++at_;
                if (open_.empty() || open_.back() != name)
                    return "end tag </" + name + "> does not match";
                open_.pop_back();
                --depth;
                if (depth == 0)
                    rootDone = true;
                continue;
            }
            ++at_;
            const std::string name = ReadName();
            if (name.empty())
                return "malformed start tag";
            Attributes attributes;
            bool empty = false;
            while (true) {
                const bool spaced = SkipSpace();
                if (at_ >= text_.size())
                    return "unterminated start tag";
                if (text_[at_] == '>') {
                    ++at_;
                    break;
                }
                if (Starts("/>")) {
                    at_ += 2;
                    empty = true;
                    break;
                }
                const std::string key = ReadName();
                if (key.empty() || !spaced)
                    return "malformed attribute in <" + name + ">";
                SkipSpace();
                if (at_ >= text_.size() || text_[at_] != '=')
                    return "attribute " + key + " without a value";
                ++at_;
                SkipSpace();
                if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\''))
                    return "attribute " + key + " without quotes";
                const char quote = text_[at_++];
                std::string value;
                if (!ReadText(quote, value))
                    return error_;
                if (at_ >= text_.size())
                    return "unterminated attribute value";
                ++at_;
                if (!attributes.emplace(key, std::move(value)).second)
                    return "attribute " + key + " twice";
            }
            if (depth == 0) {
                if (rootDone)
                    return "more than one root element";
                rootName = name;
                rootAttributes = attributes;
            } else if (depth == 1) {
                onChild(name, attributes);
            }
            if (!empty) {
                if (depth + 1 > kMaxDepth)
                    return "elements nested too deeply";
                open_.push_back(name);
                ++depth;
            } else if (depth == 0) {
                rootDone = true;
            }
        }
        if (!rootDone)
            return open_.empty() ? "no root element"
                                 : "unterminated element <" + open_.back() + ">";
        return {};
    }

private:
    bool Starts(std::string_view s) const { return text_.substr(at_, s.size()) == s; }

    bool SkipSpace()
    {
        const std::size_t from = at_;
        while (at_ < text_.size() && IsSpace(text_[at_]))
            ++at_;
        return at_ > from;
    }

    std::string ReadName()
    {
        const std::size_t from = at_;
        while (at_ < text_.size() && IsNameChar(text_[at_]))
            ++at_;
        return std::string(text_.substr(from, at_ - from));
    }

    // Text up to (not including) `stop`, entities decoded; '<' inside an
    // attribute value is an error.
    bool ReadText(char stop, std::string& out)
    {
        while (at_ < text_.size() && text_[at_] != stop) {
            const char c = text_[at_];
            if (c == '<') {
                error_ = "'<' inside an attribute value";
                return false;
            }
            if (c != '&') {
                out += c;
                ++at_;
                continue;
            }
            const std::size_t end = text_.find(';', at_);
            if (end == std::string_view::npos || end - at_ > 12) {
                error_ = "malformed entity reference";
                return false;
            }
            const std::string_view entity = text_.substr(at_ + 1, end - at_ - 1);
            at_ = end + 1;
            if (entity == "lt")
                out += '<';
            else if (entity == "gt")
                out += '>';
            else if (entity == "amp")
                out += '&';
            else if (entity == "quot")
                out += '"';
            else if (entity == "apos")
                out += '\'';
            else if (entity.size() > 1 && entity[0] == '#') {
                const bool hex = entity[1] == 'x';
                const std::string_view digits = entity.substr(hex ? 2 : 1);
                std::uint32_t code = 0;
                const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(),
                                                       code, hex ? 16 : 10);
                if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size() ||
                    code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
                    error_ = "malformed character reference";
                    return false;
                }
                AppendUtf8(out, code);
            } else {
                error_ = "unknown entity &" + std::string(entity) + ";";
                return false;
            }
        }
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::vector<std::string> open_;
    std::string error_;
};

template <typename T> bool ParseNumber(const std::string& text, T& value, int base = 10)
{
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

bool ParseHex32(std::string_view text, std::uint32_t& value)
{
    if (text.size() != 8)
        return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + 8, value, 16);
    return ec == std::errc() && ptr == text.data() + 8;
}

std::optional<CtdbEntry> EntryFrom(const Attributes& a)
{
    const auto get = [&a](const char* key) -> const std::string* {
        auto it = a.find(key);
        return it == a.end() ? nullptr : &it->second;
    };
    CtdbEntry entry;
    const std::string* toc = get("toc");
    if (toc == nullptr)
        return std::nullopt;
    std::optional<CtdbToc> parsed = ParseCtdbToc(*toc);
    if (!parsed)
        return std::nullopt;
    entry.tocText = *toc;
    entry.toc = *parsed;
    const std::string* crc = get("crc32");
    if (crc == nullptr || !ParseHex32(*crc, entry.crc32))
        return std::nullopt;
    if (const std::string* id = get("id"); id && !ParseNumber(*id, entry.id))
        return std::nullopt;
    if (const std::string* c = get("confidence");
        c &&
        (!ParseNumber(*c, entry.confidence) || entry.confidence < 0 || entry.confidence > 1000000))
        return std::nullopt;
    if (const std::string* n = get("npar");
        n && (!ParseNumber(*n, entry.npar) || entry.npar < 0 || entry.npar > 1024))
        return std::nullopt;
    if (const std::string* s = get("stride"); s && !ParseNumber(*s, entry.stride))
        return std::nullopt;
    if (const std::string* url = get("hasparity"))
        entry.parity = *url;
    if (const std::string* syndrome = get("syndrome")) {
        const auto bytes = DecodeBase64(*syndrome);
        const std::size_t count = static_cast<std::size_t>(std::min(entry.npar, 16));
        if (!bytes || count == 0 || bytes->size() < 2 * count)
            return std::nullopt;
        for (std::size_t i = 0; i < count; ++i)
            entry.syndromes.push_back(
                static_cast<std::uint16_t>((*bytes)[2 * i] | ((*bytes)[2 * i + 1] << 8)));
    } else if (const std::string* parity = get("parity")) {
        const auto bytes = DecodeBase64(*parity);
        if (!bytes || bytes->size() != 16)
            return std::nullopt;
        std::uint16_t words[8];
        for (std::size_t i = 0; i < 8; ++i)
            words[i] = static_cast<std::uint16_t>((*bytes)[2 * i] | ((*bytes)[2 * i + 1] << 8));
        entry.syndromes = ParityToSyndromes(words, 8);
        entry.npar = 8;
        entry.parity.clear(); // legacy entries have no recovery file
    }
    if (const std::string* crcs = get("trackcrcs")) {
        std::string_view rest(*crcs);
        while (!rest.empty()) {
            const std::size_t space = rest.find(' ');
            const std::string_view part = rest.substr(0, space);
            std::uint32_t value = 0;
            if (!ParseHex32(part, value) || entry.trackCrcs.size() >= 99)
                return std::nullopt;
            entry.trackCrcs.push_back(value);
            rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
        }
    }
    return entry;
}

} // namespace

int CtdbAnswer::TotalConfidence() const
{
    int total = 0;
    for (const CtdbEntry& entry : entries)
        total += entry.confidence;
    return total;
}

std::optional<std::vector<std::uint8_t>> DecodeBase64(const std::string& text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    const auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '+')
            return 62;
        if (c == '/')
            return 63;
        return -1;
    };
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + static_cast<std::size_t>(k)];
            if (c == '=' && last && k >= 2) {
                v[k] = 0;
                ++padding;
                continue;
            }
            if (padding > 0)
                return std::nullopt;
            v[k] = value(c);
            if (v[k] < 0)
                return std::nullopt;
        }
        const std::uint32_t bits =
            static_cast<std::uint32_t>(v[0] << 18 | v[1] << 12 | v[2] << 6 | v[3]);
        out.push_back(static_cast<std::uint8_t>(bits >> 16));
        if (padding < 2)
            out.push_back(static_cast<std::uint8_t>(bits >> 8));
        if (padding < 1)
            out.push_back(static_cast<std::uint8_t>(bits));
    }
    return out;
}

CtdbAnswer ParseCtdbAnswer(const char* data, std::size_t size)
{
    CtdbAnswer answer;
    if (size > kMaxAnswerBytes) {
        answer.error = "answer larger than " + std::to_string(kMaxAnswerBytes) + " bytes";
        return answer;
    }
    std::string rootName;
    Attributes rootAttributes;
    bool tooMany = false;
    Reader reader(data, size);
    std::string error =
        reader.Read(rootName, rootAttributes, [&](const std::string& name, const Attributes& a) {
            // Only unprefixed <entry> elements: the default namespace is checked below.
            if (name != "entry")
                return;
            if (answer.entries.size() >= kMaxEntries) {
                tooMany = true;
                return;
            }
            if (std::optional<CtdbEntry> entry = EntryFrom(a))
                answer.entries.push_back(std::move(*entry));
            else
                ++answer.skippedEntries;
        });
    if (error.empty() && tooMany)
        error = "more than " + std::to_string(kMaxEntries) + " entries";
    if (error.empty() && rootName != "ctdb")
        error = "the root element is <" + rootName + ">, not <ctdb>";
    if (error.empty()) {
        auto ns = rootAttributes.find("xmlns");
        if (ns != rootAttributes.end() && ns->second != kNamespace)
            error = "unknown namespace " + ns->second;
    }
    if (!error.empty()) {
        answer.entries.clear();
        answer.skippedEntries = 0;
        answer.error = error;
    }
    return answer;
}

} // namespace sonfeld::ctdb
