#include "platform/MessageText.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// A proxy's error page as squid sends it, padded to about 50 KB.
QString proxypage()
{
    QString page =
        u"<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<html><head>\n"
        "<meta type=\"copyright\" content=\"Copyright (C) 1996-2022 The Squid Software Foundation\">\n"
        "<title>ERROR: Cache Access Denied</title>\n<style type=\"text/css\"><!--\n"
        "body { font-family: verdana, sans-serif; }\n"_s;
    while (page.size() < 48000)
        page += u"#content { margin: 0 1em; } pre { font-family: sans-serif; }\n"_s;
    page += u"--></style>\n</head><body id=\"ERR_CACHE_ACCESS_DENIED\">\n<div id=\"titles\">\n"
            "<h1>ERROR</h1>\n<h2>Cache Access Denied.</h2>\n</div>\n<hr>\n\n<div id=\"content\">\n"
            "<p>The following error was encountered while trying to retrieve the URL: "
            "<a href=\"http://api.quilba.fr/apiv1/webapi.do\">http://api.quilba.fr/apiv1/webapi.do</a></p>\n"
            "<blockquote id=\"error\"><p><b>Cache Access Denied.</b></p></blockquote>\n"
            "<p>Sorry, you are not currently allowed to request this page until you have "
            "authenticated yourself.</p>\n<p>Please contact the <a href=\"mailto:root\">cache "
            "administrator</a> if you have difficulties authenticating yourself.</p>\n<br>\n</div>\n"
            "<script>var x = \"<p>hidden</p>\";</script><!-- comment -->\n<hr>\n<div id=\"footer\">\n"
            "<p>Generated Mon, 01 Dec 2025 09:30:00 GMT by proxy.kestrel.lan (squid/5.7)</p>\n"
            "<!-- ERR_CACHE_ACCESS_DENIED -->\n</div>\n</body></html>\n"_s;
    return page;
}

} // namespace

class TestMessageText : public QObject
{
    Q_OBJECT
private slots:
    void bounded_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const QString sale =
            u"La plateforme n'a pas confirmé la vente : elle a pu être enregistrée ou non. La saisie "
            "est conservée : cliquez sur Actualiser pour voir les points du client avant de valider "
            "la vente à nouveau."_s;
        QTest::newRow("plain text unchanged") << sale << sale;
        QTest::newRow("line ends kept")
            << u"Une nouvelle version est disponible\r\nVoulez vous l'installer"_s
            << u"Une nouvelle version est disponible\r\nVoulez vous l'installer"_s;
        QTest::newRow("lone angle brackets are no markup")
            << u"Valeur 'nom' introuvable <b>"_s << u"Valeur 'nom' introuvable <b>"_s;
        QTest::newRow("markup removed, entities read")
            << u"HTTP/1.1 403 Forbidden <html><body><h1>Acc&egrave;s</h1><p>refus&#233; &amp; "
               "&#x2192; &lt;x&gt;&nbsp;!</p></body></html> "_s
            << u"HTTP/1.1 403 Forbidden\nAccès\nrefusé & → <x> !"_s;
        // Every named reference of HTML, letter case counting; an unknown name stays as written.
        QTest::newRow("named entities read")
            << u"<html><body><p>&Eacute;chec de l&rsquo;acc&egrave;s &laquo;&nbsp;proxy&nbsp;&raquo; "
               "&euro; &sup2; &frac12; &hellip; &EACUTE; &nosuch;</p></body></html>"_s
            << u"Échec de l’accès « proxy » € ² ½ … &EACUTE; &nosuch;"_s;
        QTest::newRow("ten lines kept")
            << u"1\n2\n3\n4\n5\n6\n7\n8\n9\n10"_s << u"1\n2\n3\n4\n5\n6\n7\n8\n9\n10"_s;
        QTest::newRow("eleventh line left out")
            << u"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12"_s << u"1\n2\n3\n4\n5\n6\n7\n8\n9\n10…"_s;
        QTest::newRow("long text cut")
            << u"mot "_s.repeated(400) << u"mot "_s.repeated(150).trimmed() + u"…"_s;
        QTest::newRow("long word cut")
            << u"Erreur : "_s + u"x"_s.repeated(300) << u"Erreur : "_s + u"x"_s.repeated(100) + u"…"_s;
        QTest::newRow("proxy page")
            << proxypage()
            << u"ERROR: Cache Access Denied\nERROR\nCache Access Denied.\nThe following error was "
               u"encountered "
               "while trying to retrieve the URL: http://api.quilba.fr/apiv1/webapi.do\nCache Access "
               "Denied.\n"
               "Sorry, you are not currently allowed to request this page until you have authenticated "
               "yourself.\nPlease contact the cache administrator if you have difficulties authenticating "
               "yourself.\nGenerated Mon, 01 Dec 2025 09:30:00 GMT by proxy.kestrel.lan (squid/5.7)"_s;
    }
    void bounded()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        const QString bounded = MessageText::bounded(text);
        QCOMPARE(bounded, shown);
        QVERIFY(bounded.count(u'\n') < MessageText::maxlines);
        QVERIFY(bounded.size() <= MessageText::maxcharacters + 1);
    }
};

QTEST_GUILESS_MAIN(TestMessageText)
#include "tst_messagetext.moc"
