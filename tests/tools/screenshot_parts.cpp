// Renders the options dialog, the font dialog and the tray icons to PNG files for a visual
// check: screenshot_parts OUTDIR. Runs on any Qt platform, offscreen included.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/locale_info.h"
#include "display/qt/font_dialog.h"
#include "display/qt/tray_icons.h"
#include "format/default_template.h"
#include "format/formatter.h"
#include "options/option_form.h"
#include "record/raw_data_shell.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPainter>
#include <QTimer>

namespace {

using namespace statlume;

class TShotHost : public TOptionHost
{
public:
    TShotHost()
        : Formatters(CreateFormatters(Shell, Locale))
        , Template(ComposeDefaultTemplate(Formatters))
    {
    }
    const std::vector<std::unique_ptr<TFormatter>>& FormatterList() const override
    {
        return Formatters;
    }
    std::string TemplateText() const override { return Template; }
    void BuildLabels(const std::string&) override {}
    void ArrangeLabels(bool) override {}
    void StoreTemplate(const std::string& text) override { Template = text; }
    void ResetLabelPositions() override {}
    std::vector<std::filesystem::path> ExampleFolders() const override
    {
        return {STATLUME_EXAMPLES_DIR};
    }
    TMachineFacts MachineFacts() const override { return {}; }
    std::string DriveMapText() const override { return "C=/"; }
    void StoreDriveMap(const std::string&) override {}
    std::vector<std::string> MountPoints() const override { return {"/"}; }

private:
    LocaleInfo Locale;
    TRawDataShell Shell;
    TFormatterList Formatters;
    std::string Template;
};

bool Save(const QImage& image, const QDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    const bool saved = image.save(path);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "cannot write",
                 qPrintable(path));
    return saved;
}

/// Every drawn size of each icon, side by side, each also enlarged 8 times without
/// smoothing so single pixels can be judged.
QImage IconSheet(const std::vector<QIcon>& icons, const QColor& background)
{
    constexpr int zoom = 8;
    constexpr int gap = 8;
    int width = gap;
    for (const int size : TrayIconSizes)
        width += size * (zoom + 1) + 2 * gap;
    const int rowHeight = TrayIconSizes.back() * zoom + 3 * gap + TrayIconSizes.back();
    QImage sheet(width, rowHeight * static_cast<int>(icons.size()), QImage::Format_RGB32);
    sheet.fill(background);
    QPainter painter(&sheet);
    int top = gap;
    for (const QIcon& icon : icons) {
        int left = gap;
        for (const int size : TrayIconSizes) {
            const QPixmap pixmap = icon.pixmap(QSize(size, size));
            painter.drawPixmap(left, top, pixmap);
            painter.drawPixmap(QRect(left, top + size + gap, size * zoom, size * zoom), pixmap);
            left += size * (zoom + 1) + 2 * gap;
        }
        top += rowHeight;
    }
    return sheet;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot_parts OUTDIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;

    TShotHost host;
    TOptionForm form(host, nullptr);
    form.show();
    auto* list = form.findChild<QListWidget*>(QStringLiteral("lbFmt"));
    list->setCurrentRow(7);
    ok &= Save(form.grab().toImage(), dir, QStringLiteral("options-dialog.png"));

    TFontChoice choice = DesignFontChoice();
    QTimer::singleShot(0, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            ok &= Save(dialog->grab().toImage(), dir, QStringLiteral("font-dialog.png"));
            dialog->close();
        }
    });
    RunFontDialog(nullptr, choice, [](const TFontChoice&) {});

    const QFont display = ToQFont(DesignFontChoice());
    const std::vector<QIcon> icons{ApplicationIcon(), AlertIcon(),
                                   ProcessorFigureIcon(QStringLiteral("05"), display),
                                   ProcessorFigureIcon(QStringLiteral("100"), display)};
    ok &= Save(IconSheet(icons, QColor(0xee, 0xee, 0xee)), dir, QStringLiteral("icons-light.png"));
    ok &= Save(IconSheet(icons, QColor(0x30, 0x30, 0x30)), dir, QStringLiteral("icons-dark.png"));
    return ok ? 0 : 1;
}
