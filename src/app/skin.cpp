#include "app/skin.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include "platform/failure.h"
#include "widgets/main_routines.h"

namespace rw {

namespace {

const char* const kNotSupported = "Object doesn't support this property or method";

QWidget* topLevelWithHandle(std::int32_t handle) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        // Only windows that have a handle already can be the one asked for; asking others would create one.
        if (w->testAttribute(Qt::WA_WState_Created) && SkinFramework::windowHandle(*w) == handle) {
            return w;
        }
    }
    return nullptr;
}

}  // namespace

std::int32_t SkinFramework::windowHandle(QWidget& window) {
    return static_cast<std::int32_t>(window.winId());
}

void SkinFramework::checkProperty(int property) {
    if (property != kOptions && property != kAutoApplyNewWindows && property != kAutoApplyNewThreads) {
        throw Failure(kNotSupported);
    }
}

QVariant SkinFramework::callMember(int member, const QVariantList& args) {
    log_.append(QStringLiteral("call %1").arg(member));
    if (member == kLoadSkin && !args.isEmpty()) {
        QFile file(args.at(0).toString());
        if (!file.open(QIODevice::ReadOnly)) {
            sheet_.clear();
            return false;
        }
        sheet_ = QString::fromUtf8(file.readAll());
        return true;
    }
    if (member == kApplyWindow && args.size() == 1) {
        QWidget* window = topLevelWithHandle(args.at(0).value<std::int32_t>());
        if (window == nullptr || sheet_.isEmpty()) {
            return false;
        }
        window->setStyleSheet(sheet_);
        return true;
    }
    throw Failure(kNotSupported);
}

QVariant SkinFramework::getProperty(int property) const {
    checkProperty(property);
    log_.append(QStringLiteral("get %1").arg(property));
    return properties_.at(property);
}

void SkinFramework::letProperty(int property, const QVariant& value) {
    checkProperty(property);
    log_.append(QStringLiteral("let %1").arg(property));
    if (property == kOptions) {
        properties_[property] = value.value<std::int32_t>();
    } else {
        properties_[property] = value.toBool();
    }
}

}  // namespace rw

namespace rw::Main {

QString SkinFilePath(const QString& programFolder) {
    return programFolder + QStringLiteral("/x/o.cjs");
}

bool SkinFilePresent(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

void ApplySkin(QWidget& mainWindow, SkinFramework& framework, const QString& programFolder) {
    const QString path = SkinFilePath(programFolder);
    if (!SkinFilePresent(path)) {
        return;
    }
    // The window and its option buttons, check boxes, frames and labels (the main window has no picture
    // boxes, the one kind the skin would recolour beyond these).
    SetFormColors(mainWindow);
    framework.callMember(SkinFramework::kLoadSkin, {path, QString()});
    const std::int32_t options = framework.getProperty(SkinFramework::kOptions).value<std::int32_t>();
    framework.letProperty(SkinFramework::kOptions, options | 1);
    framework.letProperty(SkinFramework::kAutoApplyNewWindows, true);
    framework.letProperty(SkinFramework::kAutoApplyNewThreads, true);
    framework.callMember(SkinFramework::kApplyWindow, {SkinFramework::windowHandle(mainWindow)});
}

}  // namespace rw::Main
