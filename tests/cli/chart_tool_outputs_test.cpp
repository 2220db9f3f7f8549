#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

// rootweave-chart's files, through the real tool: every output is checked, by the bytes of its name and at
// the file a link leads to, before any is replaced; --print and --picture work with either workbook format;
// a write that still fails names each file already replaced. Names are given as bash reads them, so a name
// that is not UTF-8 reaches the tool byte for byte.
namespace {

namespace fs = std::filesystem;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every entry under `folder` (links not followed) with what it holds: a file's bytes, a link's target.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).native();
        if (entry.is_symlink()) {
            entries[name] = "-> " + fs::read_symlink(entry.path()).native();
        } else if (entry.is_regular_file()) {
            entries[name] = readBytes(entry.path());
        } else {
            entries[name] = "(not a file)";
        }
    }
    return entries;
}

// The names that are new, changed or gone between two snapshots.
std::vector<std::string> changes(const std::map<std::string, std::string>& before,
                                 const std::map<std::string, std::string>& after) {
    std::vector<std::string> changed;
    for (const auto& [name, bytes] : after) {
        const auto was = before.find(name);
        if (was == before.end() || was->second != bytes) {
            changed.push_back(name);
        }
    }
    for (const auto& [name, bytes] : before) {
        if (!after.contains(name)) {
            changed.push_back(name);
        }
    }
    return changed;
}

struct ToolRun {
    int exitCode = -1;
    std::string err;
};

// The tool run in `folder` with `args` as a bash command line; `environment` adds variables.
ToolRun runTool(const fs::path& folder, const std::string& args, const QStringList& environment = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TOOL"), QStringLiteral(ROOTWEAVE_CHART_TOOL));
    for (const QString& setting : environment) {
        env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(QString::fromStdString(folder.native()));
    process.start(
        QStringLiteral("/bin/bash"),
        {QStringLiteral("-c"), QString::fromStdString("exec \"$TOOL\" --generations 3 --name A " + args)});
    ToolRun run;
    if (process.waitForFinished(120'000) && process.exitStatus() == QProcess::NormalExit) {
        run.exitCode = process.exitCode();
    } else {
        process.kill();
        process.waitForFinished();
    }
    run.err = process.readAllStandardError().toStdString();
    return run;
}

struct OutputCase {
    std::string args;
    int exitCode;
    std::string message;  // standard error exactly; "%D" stands for the folder, "*" for any text
    std::vector<std::string> changed;
    QStringList environment;
};

bool matches(const std::string& text, std::string pattern, const std::string& folder) {
    for (std::size_t at = pattern.find("%D"); at != std::string::npos; at = pattern.find("%D")) {
        pattern.replace(at, 2, folder);
    }
    const std::size_t star = pattern.find('*');
    if (star == std::string::npos) {
        return text == pattern;
    }
    const std::string head = pattern.substr(0, star);
    const std::string tail = pattern.substr(star + 1);
    return text.size() >= head.size() + tail.size() && text.starts_with(head) && text.ends_with(tail);
}

TEST(ChartToolOutputs, EveryOutputIsCheckedBeforeAnyIsReplaced) {
    const std::string tool = "rootweave-chart: ";
    const std::vector<OutputCase> cases = {
        // Printed and pictured from the workbook whichever its format.
        {"--output a.xlsx --picture a.svg --print a.pdf", 0, "", {"a.pdf", "a.svg", "a.xlsx"}, {}},
        {"--output a.XLSX --print old.pdf", 0, "", {"a.XLSX", "old.pdf"}, {}},
        // Read-only files, by name, by a name that is not UTF-8, through a link.
        {"--output ro.xls --picture old.svg",
         1,
         tool + "cannot write ro.xls: the file is read-only\n",
         {},
         {}},
        {"--output $'ro\\xff.xls' --print old.pdf",
         1,
         tool + "cannot write ro\xEF\xBF\xBD.xls: the file is read-only\n",
         {},
         {}},
        {"--output old.xls --picture to-ro.svg",
         1,
         tool + "cannot write to-ro.svg: the file is read-only\n",
         {},
         {}},
        // A folder whose name is not UTF-8 exists and takes the file.
        {"--output $'\\xff/a.xls'", 0, "", {"\xff/a.xls"}, {}},
        // Not a regular file, a dangling link, a missing folder: refused before anything is replaced.
        {"--output fifo.xls --picture old.svg --print old.pdf",
         1,
         tool + "cannot write fifo.xls: it is a FIFO (named pipe), not a regular file\n",
         {},
         {}},
        {"--output old.xls --picture dangling.svg",
         1,
         tool + "cannot write dangling.svg: it is a link to gone/x.svg, which does not exist\n",
         {},
         {}},
        {"--output old.xls --picture old.svg --print gone/a.pdf",
         1,
         tool + "cannot write gone/a.pdf: the folder %D/gone does not exist\n",
         {},
         {}},
        {"--output old.xls/a.xls",
         1,
         tool + "cannot write old.xls/a.xls: %D/old.xls is not a folder\n",
         {},
         {}},
        // A link to the workbook is the workbook.
        {"--output old.xls --picture to-old.svg",
         2,
         tool + "--picture and --output name the same file\nTry 'rootweave-chart --help'.\n",
         {},
         {}},
        // A write that fails late says which files were already replaced (/proc takes no new files).
        {"--output /proc/rw-chart.xls --picture a.svg --print a.pdf",
         1,
         tool + "cannot write /proc/rw-chart.xls: * (the picture a.svg and the printed pages a.pdf were "
                "written)\n",
         {"a.pdf", "a.svg"},
         {}},
        {"--output a.xls --print /proc/rw-chart.pdf --picture a.svg",
         1,
         tool + "cannot write the print file /proc/rw-chart.pdf: * (the picture a.svg was written); a.xls "
                "was not written\n",
         {"a.svg"},
         {}},
    };
    for (const OutputCase& c : cases) {
        const fs::path base = fs::temp_directory_path() / ("rw-outputs-" + std::to_string(::getpid()));
        fs::remove_all(base);
        const fs::path folder = base / "work";
        fs::create_directories(folder / "\xff");
        for (const char* name : {"old.xls", "old.svg", "old.pdf", "ro.xls", "ro\xff.xls"}) {
            writeBytes(folder / name, "earlier");
        }
        fs::permissions(folder / "ro.xls",
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::permissions(folder / "ro\xff.xls",
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        ASSERT_EQ(::mkfifo((folder / "fifo.xls").c_str(), 0644), 0);
        fs::create_symlink("gone/x.svg", folder / "dangling.svg");
        fs::create_symlink("ro.xls", folder / "to-ro.svg");
        fs::create_symlink("old.xls", folder / "to-old.svg");
        const auto before = snapshot(folder);

        const ToolRun run = runTool(folder, c.args, c.environment);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.err;
        EXPECT_TRUE(matches(run.err, c.message, folder.native())) << c.args << "\n" << run.err;
        EXPECT_EQ(changes(before, snapshot(folder)), c.changed) << c.args;
        if (c.exitCode == 0) {
            for (const std::string& name : c.changed) {
                const std::string bytes = readBytes(folder / name);
                const std::string magic = name.ends_with(".pdf")   ? "%PDF-"
                                          : name.ends_with(".svg") ? "<?xml"
                                          : name.ends_with(".xls") ? "\xD0\xCF\x11\xE0"
                                                                   : "PK";
                EXPECT_TRUE(bytes.starts_with(magic)) << c.args << ": " << name;
            }
        }
        fs::remove_all(base);
    }
}

}  // namespace
