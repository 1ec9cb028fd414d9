#include "options/drive_map_dialog.h"

#include "collect/drive_map.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace statlume {

namespace {

constexpr int LetterCount = 26;

QString LetterOf(int row)
{
    return QString(QChar(static_cast<char16_t>(u'A' + row)));
}

} // namespace

TDriveMapDialog::TDriveMapDialog(const std::string& driveMapText,
                                 const std::vector<std::string>& mountPoints, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("DriveMapDialog"));
    setWindowTitle(QStringLiteral("Drive Letters"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("The mounted file system each drive letter of the "
                                            "Drive Space items shows:"),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    tbDrives = new QTableWidget(LetterCount, 1, this);
    tbDrives->setObjectName(QStringLiteral("tbDrives"));
    tbDrives->setHorizontalHeaderLabels({QStringLiteral("Mount point")});
    tbDrives->horizontalHeader()->setStretchLastSection(true);
    const TDriveMap map = ParseDriveMap(driveMapText);
    for (int row = 0; row < LetterCount; ++row) {
        tbDrives->setVerticalHeaderItem(row, new QTableWidgetItem(LetterOf(row)));
        auto* choice = new QComboBox(tbDrives);
        choice->setObjectName(QStringLiteral("cbDrive") + LetterOf(row));
        choice->addItem(QStringLiteral("(none)"), QString());
        for (const std::string& point : mountPoints)
            choice->addItem(QString::fromStdString(point), QString::fromStdString(point));
        const std::string mapped = MountPointOf(map, static_cast<char>('A' + row));
        if (!mapped.empty()) {
            const QString path = QString::fromStdString(mapped);
            if (choice->findData(path) < 0)
                choice->addItem(path + QStringLiteral(" (not mounted)"), path);
            choice->setCurrentIndex(choice->findData(path));
        }
        tbDrives->setCellWidget(row, 0, choice);
    }
    layout->addWidget(tbDrives);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(sizeHint().width() + 120, 420);
}

std::string TDriveMapDialog::DriveMapText() const
{
    TDriveMap map;
    for (int row = 0; row < LetterCount; ++row) {
        const auto* choice = static_cast<const QComboBox*>(tbDrives->cellWidget(row, 0));
        const std::string path = choice->currentData().toString().toStdString();
        if (!path.empty())
            map[static_cast<char>('A' + row)] = path;
    }
    return statlume::DriveMapText(map);
}

} // namespace statlume
