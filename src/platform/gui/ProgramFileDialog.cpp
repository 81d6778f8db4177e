#include "platform/gui/ProgramFileDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

namespace platform {

namespace {

class ProgramsOnly : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setActive(bool active)
    {
        if (active == m_active)
            return;
        m_active = active;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        if (!m_active)
            return true;
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files)
            return true;
        return isListedAsProgram(files->fileInfo(files->index(row, 0, parent)));
    }

private:
    bool m_active = true;
};

}  // namespace

QString programsFilter()
{
    return QStringLiteral("Programs (*)");
}

bool isListedAsProgram(const QFileInfo& entry)
{
    // Folders stay, or there would be no way into the folder where a program lies.
    return entry.isDir() || (entry.isFile() && entry.isExecutable());
}

void offerProgramsFirst(QFileDialog& dialog, const QStringList& givenFilters)
{
    // The list is filtered by a model of ours, which only the dialog drawn by Qt takes.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QStringList filters{programsFilter()};
    filters += givenFilters;
    // "*.*" would leave out every name without a dot, most programs among them.
    filters += QStringLiteral("All files (*)");
    dialog.setNameFilters(filters);
    auto* proxy = new ProgramsOnly(&dialog);
    dialog.setProxyModel(proxy);
    dialog.selectNameFilter(programsFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, proxy,
                     [proxy](const QString& filter) { proxy->setActive(filter == programsFilter()); });
}

}  // namespace platform
