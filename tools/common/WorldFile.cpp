#include "common/WorldFile.h"
#include "common/AnimationFile.h"
#include "common/CheckReport.h"
#include "common/StackRoom.h"
#include "common/WorldChecker.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <Inventor/SbName.h>
#include <Inventor/SbString.h>
#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/errors/SoDebugError.h>
#include <Inventor/errors/SoReadError.h>
#include <Inventor/misc/SoChildList.h>
#include <Inventor/nodes/SoFile.h>
#include <Inventor/nodes/SoSeparator.h>

#include <coinref/CoinRef.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>

namespace ktrt_tool {

namespace {

// What one readWorld() call shares with the inputs and File nodes it reads:
// the lowest stack address the reader may reach, the files being read (to
// catch a File node that includes itself) and Coin's first read error.
struct ReadContext {
    const char* stackLimit = nullptr;
    std::vector<std::string> including;
    std::string firstError;
};

ReadContext* activeRead = nullptr;

// Coin's reader recurses once per nested node; deep enough nesting would
// overflow the stack. Every name the reader takes passes through here, so the
// read stops with a read error before the stack runs out.
class GuardedInput : public SoInput {
public:
    using SoInput::read;
    explicit GuardedInput(const ReadContext& reading) : context(reading) {}

    SbBool read(SbName& name, SbBool validIdent) override {
        return roomLeft() && SoInput::read(name, validIdent);
    }
    SbBool read(SbString& text) override { return roomLeft() && SoInput::read(text); }

private:
    bool roomLeft() {
        if (frameAddress() >= context.stackLimit)
            return true;
        SoReadError::post(this, "Nodes nested too deeply to read");
        return false;
    }

    const ReadContext& context;
};

// A File node that reads its file through a GuardedInput, and only when the
// name is a regular file not already being read: /dev/zero would never end,
// and a file that includes itself would recurse until the stack overflows.
class GuardedFile : public SoFile {
public:
    static void* create() { return new GuardedFile; }

protected:
    SbBool readNamedFile(SoInput* in) override {
        if (!activeRead)
            return SoFile::readNamedFile(in);
        getChildren()->truncate(0);
        std::string path = name.getValue().getString();
        if (path.empty())
            return TRUE;
        const std::string including = in->getCurFileName() ? in->getCurFileName() : "";
        const std::size_t slash = including.find_last_of('/');
        if (path[0] != '/' && slash != std::string::npos)
            path = including.substr(0, slash + 1) + path;
        struct stat status {};
        if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
            SoReadError::post(in, "File node names \"%s\", which is not a readable regular file",
                              name.getValue().getString());
            return FALSE;
        }
        char resolved[PATH_MAX];
        if (!realpath(path.c_str(), resolved))
            return FALSE;
        for (const std::string& open : activeRead->including) {
            if (open == resolved) {
                SoReadError::post(in, "File node \"%s\" includes a file already being read",
                                  name.getValue().getString());
                return FALSE;
            }
        }
        activeRead->including.emplace_back(resolved);
        GuardedInput input(*activeRead);
        const coinref::CoinRef<SoSeparator> root(
            input.openFile(path.c_str()) ? SoDB::readAll(&input) : nullptr);
        activeRead->including.pop_back();
        if (!root)
            return FALSE;
        for (int i = 0; i < root->getNumChildren(); ++i)
            getChildren()->append(root->getChild(i));
        return TRUE;
    }
};

void keepFirstReadError(const SoError* error, void* data) {
    auto* context = static_cast<ReadContext*>(data);
    if (context->firstError.empty())
        context->firstError = error->getDebugString().getString();
}

void ignoreError(const SoError*, void*) {}

// Coin's "Coin read error: MESSAGE\n\tOccurred at line N in FILE" taken
// apart; false for any other text.
bool splitCoinError(const std::string& coinText, std::string& file, int& line,
                    std::string& message) {
    const std::string prefix = "Coin read error: ", where = "Occurred at line", in = " in ";
    const std::size_t messageEnd = coinText.find('\n');
    const std::size_t at = coinText.find(where);
    if (coinText.compare(0, prefix.size(), prefix) != 0 || messageEnd == std::string::npos ||
        at == std::string::npos)
        return false;
    const std::size_t digits = coinText.find_first_not_of(' ', at + where.size());
    const std::size_t digitsEnd = coinText.find_first_not_of("0123456789", digits);
    if (digitsEnd == digits || coinText.compare(digitsEnd, in.size(), in) != 0)
        return false;
    const std::size_t fileStart = digitsEnd + in.size();
    file = coinText.substr(fileStart, coinText.find('\n', fileStart) - fileStart);
    line = std::atoi(coinText.c_str() + digits);
    message = coinText.substr(prefix.size(), messageEnd - prefix.size());
    return true;
}

// Line `number` of the file at `path`, "" past its end.
std::string lineOf(const std::string& path, int number) {
    std::ifstream in(path, std::ios::binary);
    std::string text;
    for (int i = 1; i <= number && std::getline(in, text); ++i) {
        if (i == number)
            return text;
    }
    return "";
}

bool regularFile(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace

bool readWorld(const char* tool, const std::string& path, KTComponentDB& world,
               std::vector<Issue>* findings, std::vector<PlaybackText>* playbacks) {
    const std::string reason = unreadableReason(path);
    if (!reason.empty()) {
        std::cerr << tool << ": cannot read " << path << ": " << reason << '\n';
        return false;
    }
    static const bool fileNodesGuarded =
        SoType::overrideType(SoFile::getClassTypeId(), &GuardedFile::create) != SoType::badType();
    static_cast<void>(fileNodesGuarded);

    ReadContext context;
    context.stackLimit = stackLimitFromHere();
    SoErrorCB* const readHandler = SoReadError::getHandlerCallback();
    void* const readData = SoReadError::getHandlerData();
    SoErrorCB* const debugHandler = SoDebugError::getHandlerCallback();
    void* const debugData = SoDebugError::getHandlerData();
    SoReadError::setHandlerCallback(keepFirstReadError, &context);
    SoDebugError::setHandlerCallback(ignoreError, nullptr);
    activeRead = &context;
    SoSeparator* root = nullptr;
    {
        GuardedInput input(context);
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved))
            context.including.emplace_back(resolved);
        if (input.openFile(path.c_str()))
            root = SoDB::readAll(&input);
    }
    activeRead = nullptr;
    SoReadError::setHandlerCallback(readHandler, readData);
    SoDebugError::setHandlerCallback(debugHandler, debugData);

    // What Coin reads without a word is found in the file's text; a world
    // Coin could not read is not looked into further.
    const bool regular = regularFile(path);
    std::vector<Issue> issues;
    if (!root) {
        std::string file, message;
        int line = 0;
        if (!splitCoinError(context.firstError, file, line, message)) {
            std::cerr << path << ": "
                      << (context.firstError.empty() ? "not an Inventor file" : context.firstError)
                      << '\n';
            return false;
        }
        issues.push_back(makeIssue(Finding::worldError, line,
                                   columnOfCoinError(message, lineOf(file, line)), {message}));
        // Coin stops at a value that the text's checks explain better (a
        // weight of nan, a misspelt blend mode): theirs replace its message.
        if (file == path && regular) {
            std::vector<Issue> explained = checkWorldText(path);
            explained.erase(std::remove_if(explained.begin(), explained.end(),
                                           [&](const Issue& issue) {
                                               return issue.line != line ||
                                                      issue.severity != Severity::error;
                                           }),
                            explained.end());
            if (!explained.empty())
                issues = std::move(explained);
        }
        if (file != path) {
            // An error in a file that a File node includes names that file.
            FileResult included;
            included.name = file;
            included.issues = std::move(issues);
            printText(included, file, true);
            return false;
        }
    } else if (regular) {
        issues = checkWorldText(path, playbacks);
    }
    bool failed = !root;
    if (findings) {
        findings->insert(findings->end(), issues.begin(), issues.end());
    } else if (!issues.empty()) {
        FileResult result;
        result.name = path;
        result.issues = issues;
        printText(result, path, true);
        failed = failed || errorCount(result) > 0;
    }
    if (failed)
        return false;
    int added = 0;
    {
        const coinref::CoinRef<SoSeparator> held(root);
        added = world.addComponentsBelow(root);
    }
    if (added == 0) {
        std::cerr << tool << ": " << path << ": no KTComponent nodes\n";
        return false;
    }
    return true;
}

} // namespace ktrt_tool
