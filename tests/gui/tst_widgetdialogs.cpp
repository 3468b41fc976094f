#include "Person.h"
#include "platform/WidgetDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

class TestWidgetDialogs : public QObject
{
    Q_OBJECT
private slots:
    void boxes_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("press"); // a button's label, or "Escape"
        QTest::addColumn<bool>("answer");
        const QStringList ok{QStringLiteral("OK")};
        const QStringList okcancel{QStringLiteral("OK"), QStringLiteral("Annuler")};
        const QStringList yesno{QStringLiteral("Oui"), QStringLiteral("Non")};
        QTest::newRow("information") << "information" << ok << int(QMessageBox::Information) << "OK" << true;
        QTest::newRow("error ok") << "error" << okcancel << int(QMessageBox::Critical) << "OK" << true;
        QTest::newRow("error cancel")
            << "error" << okcancel << int(QMessageBox::Critical) << "Annuler" << false;
        QTest::newRow("error escape")
            << "error" << okcancel << int(QMessageBox::Critical) << "Escape" << false;
        QTest::newRow("question yes") << "question" << yesno << int(QMessageBox::Question) << "Oui" << true;
        QTest::newRow("question no") << "question" << yesno << int(QMessageBox::Question) << "Non" << false;
        QTest::newRow("question escape")
            << "question" << yesno << int(QMessageBox::Question) << "Escape" << false;
        QTest::newRow("warning yes") << "warning" << yesno << int(QMessageBox::Warning) << "Oui" << true;
        QTest::newRow("warning no") << "warning" << yesno << int(QMessageBox::Warning) << "Non" << false;
        QTest::newRow("exception") << "exception" << ok << int(QMessageBox::Critical) << "OK" << true;
    }
    void boxes()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, buttons);
        QFETCH(int, icon);
        QFETCH(QString, press);
        QFETCH(bool, answer);
        QApplication::setApplicationDisplayName(QStringLiteral("Quilba"));
        const QString text = QStringLiteral("Valeur 'nom' introuvable <b>");

        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            const auto close = qScopeGuard([box] {
                if (box->isVisible())
                    box->done(0);
            });
            seen = true;
            QCOMPARE(box->windowTitle(), QStringLiteral("Quilba"));
            QCOMPARE(box->text(), text);
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QCOMPARE(int(box->icon()), icon);
            QStringList labels;
            for (const QAbstractButton* b : box->buttons())
                labels.append(b->text());
            labels.sort();
            QStringList expected = buttons;
            expected.sort();
            QCOMPARE(labels, expected);
            QCOMPARE(box->defaultButton()->text(), buttons.first());
            if (press == QStringLiteral("Escape")) {
                Person::press(Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == press)
                    b->click();
            }
        });

        WidgetDialogs dialogs;
        bool result = true;
        if (kind == QStringLiteral("information"))
            dialogs.information(text);
        else if (kind == QStringLiteral("error"))
            result = dialogs.error(text);
        else if (kind == QStringLiteral("question"))
            result = dialogs.question(text);
        else if (kind == QStringLiteral("warning"))
            result = dialogs.warning(text);
        else
            dialogs.exception(text);
        QVERIFY(seen);
        QCOMPARE(result, answer);
    }

    // The first lookup behind a proxy that refuses the password: the box holds the status line and
    // the proxy's 50 KB page. It shows a few lines of words and stays on the screen, its OK button
    // in reach.
    void largePageGivesABoundedBox()
    {
        QString page = QStringLiteral("<html><head><title>ERROR: Cache Access Denied</title><style>");
        while (page.size() < 50000)
            page += QStringLiteral("#content { margin: 0 1em; }\n");
        page += QStringLiteral("</style></head><body>");
        for (int i = 0; i < 200; ++i)
            page += QStringLiteral("<p>Ligne %1 de la page d'erreur du proxy.</p>\n").arg(i);
        page += QStringLiteral("</body></html>");
        const QString text = QStringLiteral("HTTP/1.1 407 Proxy Authentication Required ") + page + u' ';

        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            const auto close = qScopeGuard([box] {
                if (box->isVisible())
                    box->done(0);
            });
            seen = true;
            QVERIFY(box->text().startsWith(QStringLiteral(
                "HTTP/1.1 407 Proxy Authentication Required\nERROR: Cache Access Denied\nLigne 0 ")));
            QVERIFY(box->text().endsWith(QStringLiteral("…")));
            QVERIFY(!box->text().contains(u'<'));
            QVERIFY(box->text().count(u'\n') < 10);
            const QRect screen = box->screen()->availableGeometry();
            QVERIFY2(box->frameGeometry().height() <= screen.height(),
                     qPrintable(QString::number(box->frameGeometry().height())));
            QVERIFY(box->frameGeometry().width() <= screen.width());
            QAbstractButton* ok = box->buttons().value(0);
            QVERIFY(ok);
            QVERIFY(screen.contains(QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size())));
            Person::click(ok);
        });
        WidgetDialogs dialogs;
        dialogs.information(text);
        QVERIFY(seen);
    }
};

QTEST_MAIN(TestWidgetDialogs)
#include "tst_widgetdialogs.moc"
