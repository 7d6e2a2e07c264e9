#pragma once

#include "framework/core/hostservices.h"

#include <QMdiArea>
#include <QPointer>
#include <QWidget>

namespace krt {

// Host services for people: Portuguese message boxes, the pick-list and search
// dialogs, QDialog::exec. The host may set its MDI area and main window.
class QtHostServices : public IHostServices
{
public:
    void showError(const QString& text) override;
    TModalResult messageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons,
                            int helpCtx) override;
    bool pickList(TDataSource* source, const QString& keyField, const QString& title,
                  bool singlePick, QString& list) override;
    bool search(TDataSet* dataSet) override;
    int execModal(QDialog& dialog) override;
    void busyChanged(int depth, int kind) override;
    QMdiArea* mdiArea() override;
    QWidget* mainWindow() override;

    void setMdiArea(QMdiArea* area);
    void setMainWindow(QWidget* window);

private:
    QPointer<QMdiArea> m_mdiArea;
    QPointer<QWidget> m_mainWindow;
};

} // namespace krt
