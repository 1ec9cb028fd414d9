#pragma once

// Drive letters for the DriveSpace items: each letter chooses one of the mounted file systems.
#include <string>
#include <vector>

#include <QDialog>

class QTableWidget;

namespace statlume {

/// A letter per row, A to Z, each with the mount points to choose from and "(none)"; a path the
/// map names that is not mounted now stays among its choices.
class TDriveMapDialog : public QDialog
{
public:
    TDriveMapDialog(const std::string& driveMapText, const std::vector<std::string>& mountPoints,
                    QWidget* parent);

    /// The chosen map as the "DriveMap" setting holds it.
    std::string DriveMapText() const;

private:
    QTableWidget* tbDrives = nullptr;
};

} // namespace statlume
