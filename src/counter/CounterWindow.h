#pragma once

#include <QMainWindow>

class QLineEdit;
class QToolBar;
class QToolButton;

// The counter window, the program's main window and hub.
class CounterWindow final : public QMainWindow
{
    Q_OBJECT
public:
    explicit CounterWindow(QWidget* parent = nullptr);

    QLineEdit* search() const { return m_search; }

signals:
    // Toolbar requests; the program wires them to the windows that answer them.
    void adhesionrequested();
    void modificationrequested();
    void historiquerequested();
    void adelyarequested();
    void parametresrequested();
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QToolButton* addtoolbutton(QToolBar* bar, const QString& name, const QString& caption,
                               const QString& description);

    QLineEdit* m_search;
};
