// kestrane: scramble a data file, read one back, or tell what a file is.
//
//   kestrane encrypt SRC DST     ('-' for standard input or output)
//   kestrane decrypt SRC DST
//   kestrane info FILE...
//
// Exit status: 0 success, 1 an operation failed, 2 usage error.
#include "KestraneEncrypt.h"
#include "diagnosis.h"
#include "streams.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using kestrane_tool::Operation;

constexpr int kFailed = 1;
constexpr int kUsage = 2;

int Fail(const std::string& name, const std::string& why)
{
    std::fprintf(stderr, "kestrane: %s: %s\n", name.c_str(), why.c_str());
    return kFailed;
}

std::string Shown(const std::string& path)
{
    return path == "-" ? "standard input" : path;
}

// A file to a file: the library's file operations do everything.
int TransformFile(Operation operation, const std::string& source, const std::string& destination)
{
    const bool ok = operation == Operation::kEncrypt
                        ? CKestraneEncrypt::FileEncrypt(source.c_str(), destination.c_str())
                        : CKestraneEncrypt::FileDecrypt(source.c_str(), destination.c_str());
    if (ok) {
        return 0;
    }
    const kestrane_tool::SourceFacts facts = kestrane_tool::InspectSource(operation, source);
    if (facts.verdict != kestrane_tool::SourceFacts::kUsable) {
        return Fail(source, facts.why);
    }
    return Fail(destination, kestrane_tool::DestinationProblem(destination));
}

// Standard input or output on either side: through the buffer operations.
int TransformStream(Operation operation, const std::string& source, const std::string& destination)
{
    std::vector<char> input;
    const std::size_t limit = kestrane_tool::LargestInput(operation);
    if (source == "-") {
        if (!kestrane_tool::ReadAll(stdin, limit, input)) {
            return Fail(Shown(source), "cannot be read");
        }
    } else {
        std::FILE* const file = std::fopen(source.c_str(), "rb");
        const bool read = file != nullptr && kestrane_tool::ReadAll(file, limit, input);
        if (file != nullptr) {
            std::fclose(file);
        }
        if (!read) {
            const std::string why = kestrane_tool::InspectSource(operation, source).why;
            return Fail(source, why.empty() ? "cannot be read" : why);
        }
    }
    const std::string problem = kestrane_tool::InputProblem(
        operation, input.size(), input.empty() ? 0 : static_cast<unsigned char>(input[0]));
    if (!problem.empty()) {
        return Fail(Shown(source), problem);
    }

    char* result = nullptr;
    int length = 0;
    const int size = static_cast<int>(input.size());
    const bool ok = operation == Operation::kEncrypt
                        ? CKestraneEncrypt::MemEncrypt(input.data(), size, result, length)
                        : CKestraneEncrypt::MemDecrypt(input.data(), size, result, length);
    int status = 0;
    if (!ok) {
        status = Fail(Shown(source), "out of memory");
    } else if (destination == "-") {
        if (!kestrane_tool::WriteAll(stdout, result, static_cast<std::size_t>(length))) {
            status = Fail("standard output", "cannot be written");
        }
    } else {
        std::string why;
        if (!kestrane_tool::WriteFileReplacing(destination, result,
                                               static_cast<std::size_t>(length), why)) {
            status = Fail(destination, "destination cannot be written: " + why);
        }
    }
    CKestraneEncrypt::FreeResult(result);
    return status;
}

int Transform(Operation operation, const std::string& source, const std::string& destination)
{
    if (source != "-" && destination != "-") {
        return TransformFile(operation, source, destination);
    }
    return TransformStream(operation, source, destination);
}

// For each file, its size and key index, or why it cannot be a record.
// Fails (1) when any file cannot be read or cannot be a record.
int Info(const std::vector<std::string>& files)
{
    int status = 0;
    for (const std::string& path : files) {
        const kestrane_tool::SourceFacts facts =
            kestrane_tool::InspectSource(Operation::kDecrypt, path);
        switch (facts.verdict) {
            case kestrane_tool::SourceFacts::kUnreadable:
                status = Fail(path, facts.why);
                break;
            case kestrane_tool::SourceFacts::kNotInput:
                std::printf("%s: %ju bytes, not a record: %s\n", path.c_str(), facts.size,
                            facts.why.c_str());
                status = kFailed;
                break;
            case kestrane_tool::SourceFacts::kUsable:
                std::printf("%s: %ju bytes, key index %d\n", path.c_str(), facts.size, facts.first);
                break;
        }
    }
    return status;
}

int Run(int argc, char** argv)
{
    CLI::App app{
        "Scramble a data file, read a scrambled one back, or tell what a file is.\n"
        "A scrambled file is one key-index byte (0-29) followed by the data XOR-ed\n"
        "with one byte of a fixed table: it keeps data from being read directly,\n"
        "and is no protection against anyone who has this tool.",
        "kestrane"};
    app.set_version_flag("--version", "kestrane " KESTRANE_VERSION);
    app.require_subcommand(1);
    // Paths may begin with '/', even on Windows: never take them for options.
    app.allow_windows_style_options(false);

    std::string source;
    std::string destination;
    const auto addTransform = [&](const char* name, const char* description) {
        CLI::App* command = app.add_subcommand(name, description);
        command->add_option("SRC", source, "file to read, or - for standard input")->required();
        command
            ->add_option("DST", destination, "file to write (may be SRC), or - for standard output")
            ->required();
        return command;
    };
    CLI::App* const encrypt = addTransform("encrypt", "scramble SRC into DST");
    CLI::App* const decrypt = addTransform("decrypt", "unscramble SRC into DST");
    std::vector<std::string> files;
    CLI::App* const info = app.add_subcommand("info", "size and key index of each FILE");
    info->add_option("FILE", files, "scrambled files")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    }

    if (encrypt->parsed()) {
        return Transform(Operation::kEncrypt, source, destination);
    }
    if (decrypt->parsed()) {
        return Transform(Operation::kDecrypt, source, destination);
    }
    return Info(files);
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrane: %s\n", e.what());
        return kFailed;
    }
}
