#include "model_text.h"

#include <sstream>

namespace sonfeld::disc {

namespace {

std::string Escaped(const std::string& text)
{
    std::string result;
    for (char c : text) {
        if (c == '\\')
            result += "\\\\";
        else if (c == '\n')
            result += "\\n";
        else if (c == '\r')
            result += "\\r";
        else
            result += c;
    }
    return result;
}

std::string Unescaped(const std::string& text)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            result += text[i];
            continue;
        }
        const char next = text[++i];
        result += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return result;
}

const char* const kFields[] = {"title",    "performer", "songwriter",
                               "composer", "arranger",  "message"};

std::string* Field(CdText& text, const std::string& name)
{
    std::string* fields[] = {&text.title,    &text.performer, &text.songwriter,
                             &text.composer, &text.arranger,  &text.message};
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        if (name == kFields[i])
            return fields[i];
    }
    return nullptr;
}

void WriteText(std::ostringstream& out, const char* key, const CdText& text)
{
    const std::string* fields[] = {&text.title,    &text.performer, &text.songwriter,
                                   &text.composer, &text.arranger,  &text.message};
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        if (!fields[i]->empty())
            out << key << ' ' << kFields[i] << ' ' << Escaped(*fields[i]) << '\n';
    }
}

} // namespace

std::string ModelToText(const DiscModel& model)
{
    std::ostringstream out;
    out << "disc " << model.leadOutLsn << ' ' << model.firstSessionEndLsn << '\n';
    if (!model.mcn.empty())
        out << "mcn " << model.mcn << '\n';
    WriteText(out, "text", model.text);
    for (const Track& t : model.tracks) {
        out << "track " << t.number << ' ' << (t.data ? 1 : 0) << ' ' << t.session << ' '
            << t.pregapLsn << ' ' << t.startLsn << ' ' << t.endLsn << ' '
            << (t.preEmphasis ? 1 : 0) + (t.copyPermitted ? 2 : 0) + (t.fourChannel ? 4 : 0)
            << '\n';
        if (!t.isrc.empty())
            out << "isrc " << t.isrc << '\n';
        if (t.paddingSamples != 0)
            out << "pad " << t.paddingSamples << '\n';
        WriteText(out, "ttext", t.text);
    }
    return out.str();
}

std::optional<DiscModel> ParseModelText(const std::string& text)
{
    DiscModel model;
    bool discSeen = false;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string rest =
            space == std::string::npos ? std::string() : line.substr(space + 1);
        std::istringstream fields(rest);
        if (key == "disc") {
            if (!(fields >> model.leadOutLsn >> model.firstSessionEndLsn))
                return std::nullopt;
            discSeen = true;
        } else if (key == "mcn") {
            model.mcn = rest;
        } else if (key == "track") {
            Track t;
            int data = 0;
            int flags = 0;
            if (!(fields >> t.number >> data >> t.session >> t.pregapLsn >> t.startLsn >>
                  t.endLsn >> flags) ||
                t.number < 1 || t.number > kMaxTracks || t.endLsn <= t.startLsn ||
                t.pregapLsn > t.startLsn)
                return std::nullopt;
            t.data = data != 0;
            t.preEmphasis = (flags & 1) != 0;
            t.copyPermitted = (flags & 2) != 0;
            t.fourChannel = (flags & 4) != 0;
            model.tracks.push_back(t);
        } else if (key == "pad") {
            if (model.tracks.empty() || !(fields >> model.tracks.back().paddingSamples) ||
                model.tracks.back().paddingSamples < 0 ||
                model.tracks.back().paddingSamples >= kSectorBytes / 4)
                return std::nullopt;
        } else if (key == "isrc" || key == "ttext") {
            if (model.tracks.empty())
                return std::nullopt;
            if (key == "isrc") {
                model.tracks.back().isrc = rest;
                continue;
            }
        }
        if (key == "text" || key == "ttext") {
            const std::size_t split = rest.find(' ');
            CdText& target = key == "text" ? model.text : model.tracks.back().text;
            std::string* field = Field(target, rest.substr(0, split));
            if (field != nullptr && split != std::string::npos)
                *field = Unescaped(rest.substr(split + 1));
        }
    }
    if (!discSeen || model.tracks.empty() || model.tracks.size() > kMaxTracks)
        return std::nullopt;
    return model;
}

} // namespace sonfeld::disc
