#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include "support/run_process.h"

// The installed program: `cmake --install` of this build into a fresh prefix, then the files, the desktop
// entry as desktop-file-validate and a menu read it, and the installed programs started from the prefix.
namespace {

using Result = rw::test::ProcessResult;

Result run(const QString& program, const QStringList& args,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    return rw::test::runProcess(program, args, environment, 120'000);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The keys of the [Desktop Entry] group.
QMap<QString, QString> desktopEntry(const QString& path) {
    QMap<QString, QString> keys;
    bool inEntry = false;
    for (const QString& line : QString::fromUtf8(readFile(path)).split(u'\n')) {
        if (line.startsWith(u'[')) {
            inEntry = line == QStringLiteral("[Desktop Entry]");
        } else if (inEntry && line.contains(u'=') && !line.startsWith(u'#')) {
            const qsizetype equals = line.indexOf(u'=');
            keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
        }
    }
    return keys;
}

// One install for the whole suite: it is the slow part.
class Installed : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        prefix_ = new QTemporaryDir();
        const Result installed = run(QStringLiteral(ROOTWEAVE_CMAKE),
                                     {"--install", ROOTWEAVE_BUILD_DIR, "--prefix", prefix_->path()});
        installLog_ = new QString(installed.out + installed.err);
        installed_ = installed.exitCode == 0;
    }
    static void TearDownTestSuite() {
        delete prefix_;
        delete installLog_;
        prefix_ = nullptr;
        installLog_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(installed_) << installLog_->toStdString(); }

    static QString at(const QString& relative) { return prefix_->filePath(relative); }
    // The program the entry's Exec line names, looked up in the prefix's bin folder only.
    static QString execProgram() {
        const QString exec = desktopEntry(at("share/applications/rootweave.desktop")).value("Exec");
        const QString name = exec.split(u' ', Qt::SkipEmptyParts).value(0);
        return QStandardPaths::findExecutable(name, {at("bin")});
    }

    static QTemporaryDir* prefix_;
    static QString* installLog_;
    static bool installed_;
};

QTemporaryDir* Installed::prefix_ = nullptr;
QString* Installed::installLog_ = nullptr;
bool Installed::installed_ = false;

TEST_F(Installed, PutsTheProgramsCursorEntryAndIconsInTheUsualFolders) {
    for (const char* program : {"bin/rootweave", "bin/rootweave-chart"}) {
        const QFileInfo file(at(program));
        EXPECT_TRUE(file.isFile() && file.isExecutable()) << program;
    }
    EXPECT_TRUE(QFileInfo(at(ROOTWEAVE_FORMATS_MODULE)).isFile());
    // The hover cursor where the program looks for it: beside the executable.
    EXPECT_EQ(readFile(at("bin/HAND-M.CUR")),
              readFile(QStringLiteral(ROOTWEAVE_SOURCE_DIR "/resources/HAND-M.CUR")));
    EXPECT_FALSE(readFile(at("bin/HAND-M.CUR")).isEmpty());

    QSvgRenderer svg(at("share/icons/hicolor/scalable/apps/rootweave.svg"));
    EXPECT_TRUE(svg.isValid());
    for (const int size : {32, 48, 64, 128, 256}) {
        const QString name = QStringLiteral("share/icons/hicolor/%1x%1/apps/rootweave.png").arg(size);
        QImage icon;
        ASSERT_TRUE(icon.load(at(name), "PNG")) << name.toStdString();
        EXPECT_EQ(icon.size(), QSize(size, size));
        // Drawn: the corners are clear, the middle is not.
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255);
    }
}

TEST_F(Installed, DesktopEntryIsValidAndNamesTheInstalledProgramAndIcon) {
    const QString entry = at("share/applications/rootweave.desktop");
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validator.isEmpty())
        << "desktop-file-validate is missing (desktop-file-utils; tools/deps.sh)";
    const Result validated = run(validator, {entry});
    EXPECT_EQ(validated.exitCode, 0);
    EXPECT_EQ(validated.out + validated.err, QString()) << "hints and warnings count too";

    const QMap<QString, QString> keys = desktopEntry(entry);
    EXPECT_EQ(keys.value("Type"), "Application");
    EXPECT_EQ(keys.value("Name"), "Rootweave");
    EXPECT_EQ(keys.value("Terminal"), "false");
    EXPECT_TRUE(keys.value("Categories").split(u';').contains("Office"));
    EXPECT_EQ(keys.value("Icon"), "rootweave");  // a theme name, found in hicolor above
    EXPECT_EQ(QFileInfo(execProgram()), QFileInfo(at("bin/rootweave")));
    EXPECT_EQ(QStandardPaths::findExecutable(keys.value("TryExec"), {at("bin")}), execProgram());
}

TEST_F(Installed, TheEntrysProgramStartsHeadlessAndCanBeEnded) {
    // A clean session: its own home and settings, and nothing on PATH, so that no web browser can start.
    QTemporaryDir home;
    QTemporaryDir emptyPath;
    QProcessEnvironment environment;
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    environment.insert("PATH", emptyPath.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (qEnvironmentVariableIsSet(name)) {
            environment.insert(name, qEnvironmentVariable(name));
        }
    }

    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(home.path());
    program.start(execProgram(), {});
    ASSERT_TRUE(program.waitForStarted(10'000)) << program.errorString().toStdString();
    // Still running after its start-up: the main window is up and waits for the user.
    EXPECT_FALSE(program.waitForFinished(2'000)) << "ended by itself with status " << program.exitCode()
                                                 << ": " << program.readAllStandardError().toStdString();
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10'000));
    EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);  // ended by the signal, not by itself
}

TEST_F(Installed, TheInstalledChartToolMakesAChartAndItsPicture) {
    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");  // the tool chooses the offscreen platform itself
    const Result made = run(QStandardPaths::findExecutable("rootweave-chart", {at("bin")}),
                            {"--generations", "3", "--name", "Ada", "--output", dir.filePath("ada.xls"),
                             "--picture", dir.filePath("ada.png")},
                            environment);
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_EQ(made.err, QString());
    EXPECT_TRUE(readFile(dir.filePath("ada.xls")).startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"));
    QImage picture;
    EXPECT_TRUE(picture.load(dir.filePath("ada.png"), "PNG"));
    EXPECT_GT(picture.width(), 800);
}

}  // namespace
