#include "ui/ports/qt_window_host.hpp"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QUrl>

#include "ui/screens/receipt/receipt_card.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/wayland_session.hpp"

namespace vardex::ui {

namespace {

std::size_t slot(WindowKind kind) { return static_cast<std::size_t>(kind); }

QString filterFor(const std::vector<std::string>& contentTypes) {
    QStringList patterns;
    for (const auto& type : contentTypes) {
        if (type == "json") patterns << QStringLiteral("*.json") << QStringLiteral("*.jsonl");
        else if (type == "text") patterns << QStringLiteral("*.txt") << QStringLiteral("*.csv");
        else if (type == "png") patterns << QStringLiteral("*.png");
    }
    return patterns.isEmpty() ? QString() : QStringLiteral("(%1)").arg(patterns.join(QLatin1Char(' ')));
}

}  // namespace

std::filesystem::path withSavedSuffix(const std::filesystem::path& chosen, const SavePanelRequest& request) {
    const auto suffix = std::filesystem::path(request.suggestedName).extension();
    if (suffix.empty() || chosen.filename().empty() || chosen.has_extension()) return chosen;
    std::filesystem::path named = chosen;
    named += suffix;
    return named;
}

QtWindowHost::~QtWindowHost() { closeAll(); }

void QtWindowHost::setFactory(WindowKind kind, Factory factory) { factories_[slot(kind)] = std::move(factory); }

QWidget* QtWindowHost::existing(WindowKind kind) const { return windows_[slot(kind)].get(); }

void QtWindowHost::setMoveOfferHandler(std::function<void()> handler) { moveOffer_ = std::move(handler); }

void QtWindowHost::setShownHandler(std::function<void(WindowKind)> handler) { shown_ = std::move(handler); }

void QtWindowHost::closeAll() {
    for (auto& window : windows_) window.reset();
}

void QtWindowHost::show(WindowKind kind) {
    auto& window = windows_[slot(kind)];
    if (!window) {
        const auto& factory = factories_[slot(kind)];
        if (!factory) return;
        window = factory();
        if (!window) return;
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->setAttribute(Qt::WA_QuitOnClose, false);
    }
    if (window->isMinimized()) window->showNormal();
    // A Wayland compositor gives the focus to a window as it maps it, and to nothing that asks for
    // it later: a window already shown but not in front is mapped anew.
    if (onWayland() && window->isVisible() && !window->isActiveWindow()) window->hide();
    window->show();
    window->raise();
    window->activateWindow();
    if (shown_) shown_(kind);
}

void QtWindowHost::offerMoveToApplications() {
    if (moveOffer_) moveOffer_();
}

std::optional<std::filesystem::path> QtWindowHost::chooseSaveLocation(const SavePanelRequest& request) {
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(QDir::home());
    dialog.selectFile(qs(request.suggestedName));
    if (const auto suffix = std::filesystem::path(request.suggestedName).extension().string(); suffix.size() > 1) {
        dialog.setDefaultSuffix(qs(suffix.substr(1)));
    }
    if (const QString filter = filterFor(request.contentTypes); !filter.isEmpty()) dialog.setNameFilter(filter);
    if (!request.canCreateFolders) dialog.setOption(QFileDialog::ReadOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return withSavedSuffix(std::filesystem::path(dialog.selectedFiles().constFirst().toStdString()), request);
}

bool QtWindowHost::openURL(const std::string& url) { return QDesktopServices::openUrl(QUrl(qs(url))); }

bool QtWindowHost::openFile(const std::filesystem::path& file) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())));
}

std::optional<std::string> QtWindowHost::receiptPNG(const ReceiptData& data) { return renderReceiptPng(data); }

}  // namespace vardex::ui
