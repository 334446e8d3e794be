#include "common/WorldChecker.h"
#include "common/SourceLine.h"
#include "common/StackRoom.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string_view>

#include <Inventor/SoType.h>
#include <Inventor/lists/SoFieldList.h>
#include <Inventor/nodekits/SoBaseKit.h>
#include <Inventor/nodekits/SoNodekitCatalog.h>

#include <coinref/CoinRef.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTPart.h>

namespace ktrt_tool {

namespace {

struct Token {
    std::string text;
    int line = 0;
    int column = 0;
};

// Splits Inventor ASCII text into words, quoted strings and the four
// brackets, skipping white space, commas and comments, and keeps where each
// token starts.
class Tokenizer {
public:
    explicit Tokenizer(std::string text) : text(std::move(text)) {}

    bool next(Token& token) {
        if (!pending.empty()) {
            token = pending.back();
            pending.pop_back();
            return true;
        }
        skipSpace();
        if (at >= text.size())
            return false;
        token.line = line;
        token.column = static_cast<int>(at - lineStart) + 1;
        const char c = text[at];
        if (c == '{' || c == '}' || c == '[' || c == ']') {
            token.text = std::string(1, c);
            ++at;
        } else if (c == '"') {
            const std::size_t begin = at++;
            while (at < text.size() && text[at] != '"') {
                if (text[at] == '\\' && at + 1 < text.size())
                    ++at;
                advance();
            }
            ++at;
            token.text = text.substr(begin, at - begin);
        } else {
            const std::size_t begin = at;
            while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at])) &&
                   std::string_view("{}[],\"#").find(text[at]) == std::string_view::npos)
                ++at;
            token.text = text.substr(begin, at - begin);
        }
        return true;
    }

    // Puts `token` back: the next call of next() gives it again.
    void putBack(const Token& token) { pending.push_back(token); }

    // Whether the next token is `text`, leaving it in place.
    bool peekIs(const char* expected) {
        Token token;
        if (!next(token))
            return false;
        putBack(token);
        return token.text == expected;
    }

private:
    void advance() {
        if (text[at] == '\n') {
            ++line;
            lineStart = at + 1;
        }
        ++at;
    }

    void skipSpace() {
        while (at < text.size()) {
            const char c = text[at];
            if (c == '#') {
                while (at < text.size() && text[at] != '\n')
                    ++at;
            } else if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
                advance();
            } else {
                return;
            }
        }
    }

    std::string text;
    std::size_t at = 0;
    std::size_t lineStart = 0;
    int line = 1;
    std::vector<Token> pending;
};

// The parts of the component being read: name -> line of its DEF; and the
// part names its playback nodes give, checked once its body is read.
struct Component {
    std::string name;
    std::map<std::string, int> parts;
    std::vector<Token> namedParts;
};

// The names a KTAnimationPlayback enumeration field takes.
struct EnumField {
    const char* field;
    const char* names[4];
};
const EnumField playbackEnums[] = {{"wrap", {"LOOP", "CLAMP", "PING_PONG", nullptr}},
                                   {"interpolation", {"STEP", "LINEAR", "HOLD", nullptr}},
                                   {"blend", {"REPLACE", "ADDITIVE", nullptr}}};

// An SFString value as Coin reads it: a quoted string loses its quotes and
// backslashes, a word stays as it is.
std::string unquote(const std::string& text) {
    if (text.empty() || text[0] != '"')
        return text;
    std::string value;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && i + 2 < text.size())
            ++i;
        value += text[i];
    }
    return value;
}

// The public parts and fields of a node kit class.
struct KitNames {
    std::map<std::string, SoType> parts;
    std::vector<std::string> fields;
};

KitNames namesOf(SoType kitType) {
    KitNames names;
    const coinref::CoinRef<SoBaseKit> kit(static_cast<SoBaseKit*>(kitType.createInstance()));
    const SoNodekitCatalog* catalog = kit->getNodekitCatalog();
    for (int i = 0; i < catalog->getNumEntries(); ++i) {
        if (catalog->isPublic(i))
            names.parts.emplace(catalog->getName(i).getString(), catalog->getType(i));
    }
    SoFieldList fields;
    kit->getFields(fields);
    for (int i = 0; i < fields.getLength(); ++i) {
        SbName fieldName;
        kit->getFieldName(fields[i], fieldName);
        const std::string name = fieldName.getString();
        if (!names.parts.count(name) &&
            catalog->getPartNumber(name.c_str()) == SO_CATALOG_NAME_NOT_FOUND)
            names.fields.push_back(name);
    }
    return names;
}

class WorldScanner {
public:
    explicit WorldScanner(std::string text) : tokens(std::move(text)) {}

    /// The KTAnimationPlayback nodes, in file order, once scan() ran.
    std::vector<PlaybackText> playbacks;

    std::vector<Issue> scan() {
        stackLimit = stackLimitFromHere();
        Token token;
        while (tokens.next(token))
            node(token, nullptr);
        return std::move(issues);
    }

private:
    bool isWord(const Token& token) const {
        return !token.text.empty() &&
               std::string_view("{}[]\"").find(token.text[0]) == std::string_view::npos;
    }

    // Reads the node starting at `first` (DEF, USE, NULL or its type);
    // false when `first` starts no node. A node that is not of `expected`
    // type is reported as the wrong type for `field` of `owner`.
    bool node(const Token& first, Component* component, SoType expected = SoType::badType(),
              const std::string& field = "", const std::string& owner = "") {
        Token type = first;
        Token defined;
        std::string name;
        if (first.text == "USE") {
            Token used;
            tokens.next(used);
            return true;
        }
        if (first.text == "NULL")
            return true;
        if (first.text == "DEF") {
            if (!tokens.next(defined) || !tokens.next(type))
                return false;
            name = defined.text;
        }
        if (!isWord(type) || !tokens.peekIs("{"))
            return false;
        Token brace;
        tokens.next(brace);
        // Nesting deeper than Coin reads, or deeper than the stack has room
        // for in this build, is skipped without recursion.
        if (depth >= deepest || frameAddress() < stackLimit) {
            skipBody();
            return true;
        }
        ++depth;
        nodeBody(type, name.empty() ? nullptr : &defined, component, expected, field, owner);
        --depth;
        return true;
    }

    // The body of a node of `type` (named by `defined`, null for none) that
    // stands in `field` of `owner`, which takes nodes of `expected` type.
    void nodeBody(const Token& type, const Token* defined, Component* component, SoType expected,
                  const std::string& field, const std::string& owner) {
        const SoType nodeType = SoType::fromName(type.text.c_str());
        if (expected != SoType::badType() && nodeType != SoType::badType() &&
            !nodeType.isDerivedFrom(expected))
            issues.push_back(
                makeIssue(Finding::wrongNodeType, type.line, type.column,
                          {quoted(field), owner, article(expected.getName().getString()),
                           article(type.text)}));
        body(type, defined, nodeType, component);
    }

    // Skips to the brace that closes the body just opened.
    void skipBody() {
        Token token;
        for (int open = 1; open > 0 && tokens.next(token);)
            open += token.text == "{" ? 1 : token.text == "}" ? -1 : 0;
    }

    static std::string article(const std::string& type) {
        std::string name = type.rfind("So", 0) == 0 ? type.substr(2) : type;
        return (std::string_view("AEIOU").find(name[0]) != std::string_view::npos ? "an " : "a ") +
               escapeBytes(name);
    }

    // The body of a node of `type`, named by `defined` (null: no DEF name).
    void body(const Token& type, const Token* defined, SoType nodeType, Component* component) {
        const std::string name = defined ? defined->text : "";
        const bool isComponent =
            nodeType != SoType::badType() && nodeType.isDerivedFrom(KTComponent::getClassTypeId());
        const bool isPart =
            nodeType != SoType::badType() && nodeType.isDerivedFrom(KTPart::getClassTypeId());
        Component own;
        if (isComponent) {
            if (name.empty())
                issues.push_back(makeIssue(Finding::unnamedComponent, type.line, type.column));
            own.name = name;
            component = &own;
        }
        if (isPart && component && !name.empty()) {
            const auto [earlier, added] = component->parts.emplace(name, type.line);
            if (!added)
                issues.push_back(makeIssue(Finding::duplicatePart, defined->line, defined->column,
                                           {escapeBytes(component->name), escapeBytes(name),
                                            " (line " + std::to_string(earlier->second) + ")"}));
        }
        if (isComponent || isPart)
            kitBody(nodeType, type.text + (name.empty() ? "" : " \"" + escapeBytes(name) + "\""),
                    component);
        else if (type.text == "KTAnimationPlayback")
            playbackBody(type, component);
        else
            otherBody(component);
        if (isComponent)
            checkNamedParts(own);
    }

    // The body of a KTAnimationPlayback node: its animation, and the fields
    // that Coin reads without a word but that play otherwise than written.
    void playbackBody(const Token& type, Component* component) {
        PlaybackText found;
        found.component = component ? component->name : "";
        found.line = type.line;
        found.column = type.column;
        Token token, value;
        while (tokens.next(token)) {
            if (token.text == "}")
                break;
            if (token.text == "{") {
                skipBody();
            } else if (token.text == "fields" || token.text == "[") {
                if (token.text == "[" || tokens.peekIs("["))
                    skipList();
            } else if (token.text == "animation" && tokens.next(value)) {
                found.animation = unquote(value.text);
            } else if (token.text == "positions" && tokens.next(value)) {
                found.positions = value.text == "TRUE";
            } else if (token.text == "weight" && tokens.next(value)) {
                checkWeight(value);
            } else if (token.text == "parts" && tokens.next(value)) {
                if (value.text == "[") {
                    while (tokens.next(value) && value.text != "]") {
                        if (component)
                            component->namedParts.push_back(value);
                    }
                } else if (component) {
                    component->namedParts.push_back(value);
                }
            } else {
                for (const EnumField& field : playbackEnums) {
                    if (token.text == field.field && tokens.next(value))
                        checkEnum(field, value);
                }
            }
        }
        playbacks.push_back(found);
    }

    void checkWeight(const Token& value) {
        char* end = nullptr;
        const double weight = std::strtod(value.text.c_str(), &end);
        if (end == value.text.c_str() || *end != '\0' || !std::isfinite(weight) || weight < 0.0)
            issues.push_back(
                makeIssue(Finding::badWeight, value.line, value.column, {quoted(value.text)}));
    }

    void checkEnum(const EnumField& field, const Token& value) {
        std::string names;
        for (const char* const* name = field.names; *name; ++name) {
            if (value.text == *name)
                return;
            names += (names.empty() ? "" : ", ") + std::string(*name);
        }
        const char* near = nearestWord(value.text, field.names);
        issues.push_back(
            makeIssue(Finding::unknownValue, value.line, value.column,
                      {field.field, quoted(value.text), names,
                       near ? std::string(" (did you mean '") + near + "'?)" : std::string()}));
    }

    // The part names that the playback nodes of `component` give, each a
    // KTPart of the component.
    void checkNamedParts(const Component& component) {
        std::vector<const char*> candidates;
        for (const auto& entry : component.parts)
            candidates.push_back(entry.first.c_str());
        candidates.push_back(nullptr);
        for (const Token& named : component.namedParts) {
            const std::string name = unquote(named.text);
            if (component.parts.count(name))
                continue;
            const char* near = nearestWord(name, candidates.data());
            issues.push_back(makeIssue(
                Finding::missingPart, named.line, named.column,
                {escapeBytes(component.name), escapeBytes(name),
                 near ? " (did you mean \"" + escapeBytes(near) + "\"?)" : std::string()}));
        }
    }

    // Skips a bracketed list whose "[" is next or was just read.
    void skipList() {
        Token token;
        while (tokens.next(token) && token.text != "]") {
        }
    }

    // The body of any other node: its nodes are looked into, the rest is
    // skipped.
    void otherBody(Component* component) {
        Token token;
        while (tokens.next(token)) {
            if (token.text == "}")
                return;
            if (token.text == "{")
                skipBody();
            else if (isWord(token))
                node(token, component);
        }
    }

    void kitBody(SoType kitType, const std::string& owner, Component* component) {
        const KitNames names = namesOf(kitType);
        Token token;
        while (tokens.next(token)) {
            if (token.text == "}")
                return;
            if (!isWord(token))
                continue;
            const auto part = names.parts.find(token.text);
            if (part != names.parts.end()) {
                Token value;
                if (tokens.next(value) && !node(value, component, part->second, token.text, owner))
                    tokens.putBack(value);
                continue;
            }
            if (std::find(names.fields.begin(), names.fields.end(), token.text) !=
                names.fields.end()) {
                skipValue(names);
                continue;
            }
            std::vector<const char*> candidates;
            for (const auto& entry : names.parts)
                candidates.push_back(entry.first.c_str());
            for (const std::string& field : names.fields)
                candidates.push_back(field.c_str());
            candidates.push_back(nullptr);
            const char* near = nearestWord(token.text, candidates.data());
            issues.push_back(makeIssue(
                Finding::unknownField, token.line, token.column,
                {owner, quoted(token.text),
                 near ? std::string(" (did you mean '") + near + "'?); what it holds is dropped"
                      : "; what it holds is dropped"}));
            Token value;
            if (tokens.next(value) && !node(value, component)) {
                tokens.putBack(value);
                skipValue(names);
            }
        }
    }

    // Skips a field value: a bracketed list, or the words up to the next
    // field name or the end of the body.
    void skipValue(const KitNames& names) {
        Token token;
        if (tokens.peekIs("[")) {
            while (tokens.next(token) && token.text != "]") {
            }
            return;
        }
        while (tokens.next(token)) {
            if (!isWord(token) || names.parts.count(token.text) ||
                std::find(names.fields.begin(), names.fields.end(), token.text) !=
                    names.fields.end()) {
                tokens.putBack(token);
                return;
            }
        }
    }

    Tokenizer tokens;
    std::vector<Issue> issues;
    int depth = 0;
    static constexpr int deepest = 4096;
    const char* stackLimit = nullptr;
};

} // namespace

std::vector<Issue> checkWorldText(const std::string& path, std::vector<PlaybackText>* playbacks) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<Issue> issues;
    if (text.rfind("#VRML V2.0", 0) == 0)
        issues.push_back(makeIssue(Finding::vrmlHeader, 1, 1));
    WorldScanner scanner(std::move(text));
    std::vector<Issue> found = scanner.scan();
    issues.insert(issues.end(), found.begin(), found.end());
    if (playbacks)
        *playbacks = std::move(scanner.playbacks);
    return issues;
}

int columnOfCoinError(const std::string& message, const std::string& line) {
    // Coin quotes words as ``word'', 'word' or "word"; "Expected ...; got
    // 'word'" points at the word it got.
    std::size_t begin = message.find("got '");
    if (begin != std::string::npos)
        begin += 5;
    else if ((begin = message.find("``")) != std::string::npos)
        begin += 2;
    else if ((begin = message.find_first_of("'\"")) != std::string::npos)
        begin += 1;
    else
        return 1;
    const std::size_t end = message.find(message[begin - 1] == '"' ? '"' : '\'', begin);
    if (end == std::string::npos || end == begin)
        return 1;
    const std::size_t at = line.find(message.substr(begin, end - begin));
    return at == std::string::npos ? 1 : static_cast<int>(at) + 1;
}

} // namespace ktrt_tool
