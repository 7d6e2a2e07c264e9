#pragma once

#include <QWidget>

class QToolButton;
#include "framework/widgets/datalink.h"

// First / prior / next / last over the data set of a data source. A move runs
// through the handler boundary; the buttons follow the cursor (first and prior
// are disabled on the first record, next and last on the last one).
class TDBNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button
    {
        nbFirst,
        nbPrior,
        nbNext,
        nbLast
    };

    explicit TDBNavigator(QWidget* parent = nullptr);

    void setDataSource(TDataSource* source) { m_link.setSource(source); }
    TDataSource* DataSource() const { return m_link.source(); }

    // Presses a button (as the user would).
    void BtnClick(Button button);
    QToolButton* button(Button button) const { return m_buttons[button]; }

private:
    void updateButtons();

    QToolButton* m_buttons[4];
    krt::DataLink m_link{this, [this] { updateButtons(); }};
};
