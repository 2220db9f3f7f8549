#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QWidget>
#include <cstdint>
#include <map>

// The skin framework: a control without a face that loads a skin (here a Qt style sheet) and applies it to
// a window. Like the vendor's control it is driven by numbered members and properties; it records every
// access, in order, so the order of the skinning steps can be checked.
namespace rw {

class SkinFramework {
  public:
    // Member 2: load the skin from (path, section); answers whether a skin was read. The section is unused.
    static constexpr int kLoadSkin = 2;
    // Member 3: apply the loaded skin to the top-level window with this 32-bit handle.
    static constexpr int kApplyWindow = 3;
    // Property 1: option flags (32-bit); property 5: apply the skin to windows opened later as well;
    // property 10: the same for windows of other threads. The style-sheet skin needs none of them (each
    // window here is skinned on its own, on the one thread), but they keep the values the program gives.
    static constexpr int kOptions = 1;
    static constexpr int kAutoApplyNewWindows = 5;
    static constexpr int kAutoApplyNewThreads = 10;

    QVariant callMember(int member, const QVariantList& args);
    QVariant getProperty(int property) const;
    void letProperty(int property, const QVariant& value);

    // "call 2", "get 1", "let 1", ... in the order they happened.
    const QStringList& accessLog() const { return log_; }
    const QString& loadedSheet() const { return sheet_; }

    // The handle member 3 expects for a window.
    static std::int32_t windowHandle(QWidget& window);

  private:
    static void checkProperty(int property);

    mutable QStringList log_;
    QString sheet_;
    std::map<int, QVariant> properties_{
        {kOptions, std::int32_t{0}}, {kAutoApplyNewWindows, false}, {kAutoApplyNewThreads, false}};
};

}  // namespace rw

namespace rw::Main {

// The skin file beside the program: "x/o.cjs".
QString SkinFilePath(const QString& programFolder);

// Whether a directory search for normal files finds the path: a regular file that is not a dot-file.
bool SkinFilePresent(const QString& path);

// Skins the main window when the skin file is present: the window and its frames, labels, check boxes and
// option buttons take the button-face colour, then the framework loads the skin and applies it. Without
// the file nothing changes.
void ApplySkin(QWidget& mainWindow, SkinFramework& framework, const QString& programFolder);

}  // namespace rw::Main
