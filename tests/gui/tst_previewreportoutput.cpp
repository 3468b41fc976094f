#include "report/PreviewReportOutput.h"
#include "report/ReportLayout.h"

#include <QApplication>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

// Answers each modal window as it comes, in order, with the next step; the steps see the window.
class ModalScript final : public QObject
{
public:
    explicit ModalScript(QList<std::function<void(QWidget*)>> steps) : m_steps(std::move(steps))
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalScript::poll);
        m_timer.start(10);
    }
    QStringList seen;

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last || m_steps.isEmpty())
            return;
        m_last = modal;
        seen.append(QString::fromLatin1(modal->metaObject()->className()));
        m_steps.takeFirst()(modal);
    }

    QList<std::function<void(QWidget*)>> m_steps;
    QPointer<QWidget> m_last;
    QTimer m_timer;
};

ReportLayout layout()
{
    auto layout = ReportLayout::fromjson(R"({"name": "essai", "objects": [
        {"name": "t", "kind": "text", "left": 0, "top": 0, "width": 80, "height": 10, "lines": ["Bonjour"]}]})");
    return *layout;
}

} // namespace

class TestPreviewReportOutput : public QObject
{
    Q_OBJECT
private slots:
    // The preview comes first, maximised and modal; closing it brings the print dialog, set to
    // one copy of all pages; cancelling that prints nothing.
    void previewThenPrintDialog()
    {
        bool maximised = false;
        int copies = 0;
        QPrintDialog::PrintRange range = QPrintDialog::Selection;
        ModalScript script({[&](QWidget* preview) {
                                maximised = preview->isMaximized();
                                preview->close();
                            },
                            [&](QWidget* dialog) {
                                auto* print = qobject_cast<QPrintDialog*>(dialog);
                                QVERIFY(print);
                                copies = print->printer()->copyCount();
                                range = print->printRange();
                                print->reject();
                            }});
        PreviewReportOutput output;
        QVERIFY(!output.print(layout()));
        QCOMPARE(script.seen,
                 (QStringList{QStringLiteral("QPrintPreviewDialog"), QStringLiteral("QPrintDialog")}));
        QVERIFY(maximised);
        QCOMPARE(copies, 1);
        QCOMPARE(range, QPrintDialog::AllPages);
    }

    // Each document's preview takes the screen's whole available area, shows the page across its
    // width and is titled in French for the document.
    void previewFillsTheScreen_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("title");
        QTest::newRow("points") << QStringLiteral("reppoints") << QStringLiteral("Aperçu – Ticket de points");
        QTest::newRow("7,50") << QStringLiteral("Repcoupon750") << QStringLiteral("Bon d'achat 7,50 €");
        QTest::newRow("20") << QStringLiteral("Repcoupon20") << QStringLiteral("Bon d'achat 20 €");
        QTest::newRow("sheet") << QStringLiteral("frxReport2") << QStringLiteral("Bulletin d'adhésion");
    }
    void previewFillsTheScreen()
    {
        QFETCH(QString, layout);
        QFETCH(QString, title);
        QString shown;
        QRect geometry;
        QPrintPreviewWidget::ZoomMode mode = QPrintPreviewWidget::CustomZoom;
        double zoom = 0.0;
        int viewport = 0;
        ModalScript script({[&](QWidget* preview) {
                                shown = preview->windowTitle();
                                geometry = preview->frameGeometry();
                                auto* pages = preview->findChild<QPrintPreviewWidget*>();
                                QVERIFY(pages);
                                mode = pages->zoomMode();
                                zoom = pages->zoomFactor();
                                viewport = pages->width();
                                preview->close();
                            },
                            [&](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); }});
        PreviewReportOutput output;
        QVERIFY(!output.print(ReportLayout::fromresource(layout)));

        QCOMPARE(shown, title);
        QCOMPARE(geometry, QGuiApplication::primaryScreen()->availableGeometry());
        QCOMPARE(mode, QPrintPreviewWidget::FitToWidth);
        // The A4 page's 210 mm at that zoom fill most of the width without passing it.
        const double pagewidth =
            210.0 / 25.4 * QGuiApplication::primaryScreen()->logicalDotsPerInchX() * zoom;
        QVERIFY2(pagewidth <= viewport && pagewidth > viewport * 0.8,
                 qPrintable(QStringLiteral("page %1 px, vue %2 px").arg(pagewidth).arg(viewport)));
    }

    void printsWhenTheDialogIsAccepted()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("imprime.pdf"));
        // No printer here: the document goes to a file, chosen before the print dialog opens.
        ModalScript script({[&](QWidget* preview) {
                                qobject_cast<QPrintPreviewDialog*>(preview)->printer()->setOutputFileName(
                                    file);
                                preview->close();
                            },
                            [&](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->accept(); }});
        PreviewReportOutput output;
        QVERIFY(output.print(layout()));
        QVERIFY(QFileInfo(file).size() > 0);
    }
};

QTEST_MAIN(TestPreviewReportOutput)
#include "tst_previewreportoutput.moc"
