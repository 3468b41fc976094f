#include "Person.h"
#include "PlatformTest.h"
#include "ProductLines.h"
#include "RunningProgram.h"

#include "api/CounterClient.h"
#include "counter/CounterState.h"
#include "counter/CounterWindow.h"
#include "counter/SaleLines.h"
#include "data/MemoryTable.h"
#include "members/EnrolmentForm.h"
#include "members/EnrolmentRules.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <optional>

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

using namespace Qt::StringLiterals;

// Texts typed (or pasted) by the user into every field that goes into a request: each request must
// still be one strict JSON document holding exactly the typed values, and the platform must hold
// them as typed, with no member added behind the user's back.

namespace {

// A strict reading: RapidJSON's standard grammar with UTF-8 checked, and a member name given twice
// in one object refused (it would be one value hidden behind another).
std::optional<QJsonValue> fromrapid(const rapidjson::Value& value, QString& error)
{
    switch (value.GetType()) {
    case rapidjson::kNullType:
        return QJsonValue(QJsonValue::Null);
    case rapidjson::kFalseType:
        return QJsonValue(false);
    case rapidjson::kTrueType:
        return QJsonValue(true);
    case rapidjson::kNumberType:
        return QJsonValue(value.GetDouble());
    case rapidjson::kStringType:
        return QJsonValue(QString::fromUtf8(value.GetString(), value.GetStringLength()));
    case rapidjson::kArrayType: {
        QJsonArray array;
        for (const rapidjson::Value& item : value.GetArray()) {
            const std::optional<QJsonValue> converted = fromrapid(item, error);
            if (!converted)
                return std::nullopt;
            array.append(*converted);
        }
        return array;
    }
    case rapidjson::kObjectType: {
        QJsonObject object;
        for (const auto& member : value.GetObject()) {
            const QString name = QString::fromUtf8(member.name.GetString(), member.name.GetStringLength());
            if (object.contains(name)) {
                error = u"membre en double : "_s + name;
                return std::nullopt;
            }
            const std::optional<QJsonValue> converted = fromrapid(member.value, error);
            if (!converted)
                return std::nullopt;
            object.insert(name, *converted);
        }
        return object;
    }
    }
    return std::nullopt;
}

// One request as the platform received it: "json_data=" and a strict JSON object.
struct Request
{
    QByteArray method;
    QJsonObject document;
    QString error; // why the body is not such a request
};

Request readrequest(const QJsonObject& entry)
{
    Request request;
    request.method = entry.value(u"method"_s).toString().toUtf8();
    QByteArray body = QByteArray::fromBase64(entry.value(u"body_base64"_s).toString().toLatin1());
    if (request.method == "POST") {
        // The form: one field, name and value each URL-encoded.
        const qsizetype equals = body.indexOf('=');
        if (equals < 0 || body.left(equals) != "json_data") {
            request.error = u"formulaire sans json_data : "_s + QString::fromUtf8(body.left(80));
            return request;
        }
        if (body.indexOf('&') >= 0) {
            request.error = u"formulaire de plusieurs champs"_s;
            return request;
        }
        QByteArray value = body.mid(equals + 1);
        value.replace('+', ' ');
        body = "json_data=" + QByteArray::fromPercentEncoding(value);
    } else if (body.endsWith("\r\n")) {
        body.chop(2); // the sale's line break
    }
    if (!body.startsWith("json_data=")) {
        request.error = u"corps sans json_data= : "_s + QString::fromUtf8(body.left(80));
        return request;
    }
    const QByteArray json = body.mid(10);
    rapidjson::Document document;
    document.Parse<rapidjson::kParseValidateEncodingFlag>(json.constData(), std::size_t(json.size()));
    if (document.HasParseError()) {
        request.error = u"JSON invalide à l'octet %1 : %2"_s.arg(document.GetErrorOffset())
                            .arg(QString::fromUtf8(rapidjson::GetParseError_En(document.GetParseError())));
        return request;
    }
    const std::optional<QJsonValue> value = fromrapid(document, request.error);
    if (value && !value->isObject())
        request.error = u"pas un objet"_s;
    if (value && value->isObject())
        request.document = value->toObject();
    return request;
}

QStringList keys(const QJsonObject& object)
{
    QStringList names = object.keys();
    names.sort();
    return names;
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

// What a field of `size` characters keeps of a text: never half of a surrogate pair.
QString cut(const QString& text, int size)
{
    QString kept = text.left(size);
    if (text.size() > size && kept.back().isHighSurrogate())
        kept.chop(1);
    return kept;
}

// The value as the user puts it into a box: pasted over whatever the box held.
void paste(QLineEdit* edit, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    edit->setFocus();
    edit->selectAll();
    edit->paste();
}

// The whole program, without the coupon query so that the reply buffer keeps the member reply.
class Counter final : public RunningProgram
{
public:
    explicit Counter(LocalPlatform& platform) : RunningProgram(platform, {u"-nocoupon"_s}) {}

    // The text put into the search box as a paste does, then "Rechercher".
    void lookup(const QString& text)
    {
        window().setsearchtext(text);
        window().btsearchClick();
    }
    // The member object of the last member reply, read strictly.
    QJsonObject shownmember()
    {
        QString error;
        rapidjson::Document document;
        const QByteArray reply = program->buffer().bytes();
        document.Parse<rapidjson::kParseValidateEncodingFlag>(reply.constData(), std::size_t(reply.size()));
        if (document.HasParseError())
            return {};
        const std::optional<QJsonValue> value = fromrapid(document, error);
        return value ? value->toObject().value(u"FidelityMember"_s).toObject() : QJsonObject();
    }
    // The requests received since the last call.
    QList<Request> requests()
    {
        QList<Request> out;
        for (const QJsonValue entry : journal())
            out.append(readrequest(entry.toObject()));
        return out;
    }
};

QLineEdit* field(EnrolmentForm& form, const QString& name)
{
    if (name == u"cbcivilite"_s)
        return form.findChild<QComboBox*>(name)->lineEdit();
    return form.findChild<QLineEdit*>(name);
}

// The member boxes of the enrolment form and the key each fills in the member request; the four
// address boxes fill the "address" object.
struct MemberBox
{
    QString box;
    QString key;
    bool address = false;
};

const QList<MemberBox>& memberboxes()
{
    static const QList<MemberBox> boxes{
        {u"edcardnumber"_s, u"cardnumber"_s},
        {u"cbcivilite"_s, u"gender"_s},
        {u"ednom"_s, u"name"_s},
        {u"edprenom"_s, u"firstname"_s},
        {u"edmobile"_s, u"mobile"_s},
        {u"edmail"_s, u"email"_s},
        {u"edtel"_s, u"tel"_s},
        {u"edadresse"_s, u"line1"_s, true},
        {u"edadresse2"_s, u"line2"_s, true},
        {u"edcodepost"_s, u"zip"_s, true},
        {u"edville"_s, u"town"_s, true},
    };
    return boxes;
}

QString ofmember(const QJsonObject& member, const MemberBox& box)
{
    return (box.address ? member.value(u"address"_s).toObject() : member).value(box.key).toString();
}

// The members of the first demo pharmacy, active or not, as the platform lists them.
int membercount(LocalPlatform& platform)
{
    Counter counter(platform);
    // A query for every name: the list of the pharmacy's members.
    const QString line =
        u"json_data={\"FidelityMember\":{\"group\":{\"idExternal\":\"101\"},\"name_starts_with\":\"\"}}"_s;
    counter.program->counterclient().postform(line);
    const QJsonDocument reply = QJsonDocument::fromJson(counter.program->buffer().bytes());
    return int(reply.object().value(u"list"_s).toArray().size());
}

} // namespace

class TestHostileInputPlatform : public PlatformTest
{
    Q_OBJECT
private slots:
    void memberBoxes_data() { hostilevalues(); }
    // Each box of a modification, one at a time, then a new child: the member request carries the
    // typed value under its key and nothing else changes; the platform gives it back as typed. A
    // value its box refuses (a civility, a telephone number) stops there, and nothing is sent.
    void memberBoxes()
    {
        QFETCH(QString, value);
        const int before = membercount(*m_platform);
        Counter counter(*m_platform);
        counter.lookup(u"1010001"_s);
        const QString id = counter.window().state().currentmemberid();
        QVERIFY(!id.isEmpty());

        for (const MemberBox& box : memberboxes()) {
            counter.requests();
            QString typed;
            bool saved = false;
            counter.onform([&](EnrolmentForm& form) {
                QLineEdit* edit = field(form, box.box);
                paste(edit, value);
                typed = edit->text();
                form.validate();
                saved = form.saved();
                if (form.isVisible())
                    form.reject();
            });
            counter.window().findChild<QToolButton*>(u"ToolButton2"_s)->click();
            // A value its box refuses (no civility of the list, a number that is no telephone once
            // the box has kept its digits): "Valider" stops there, the box asking for another.
            QString refusal;
            if (box.box == u"cbcivilite"_s)
                refusal = EnrolmentRules::civiliteinvalid();
            else if ((box.box == u"edmobile"_s || box.box == u"edtel"_s) && !typed.isEmpty() &&
                     !EnrolmentRules::phonevalid(typed))
                refusal = EnrolmentRules::phoneinvalid();
            if (!refusal.isEmpty()) {
                QVERIFY(!saved);
                QCOMPARE(counter.dialogs.texts().value(counter.dialogs.texts().size() - 1), refusal);
                QCOMPARE(counter.requests().size(), 0);
                continue;
            }
            QVERIFY2(saved, qPrintable(box.box + u" : "_s + counter.dialogs.texts().join(u'|')));
            if (box.box != u"edmobile"_s && box.box != u"edtel"_s)
                QCOMPARE(typed, value);

            const QList<Request> sent = counter.requests();
            QCOMPARE(sent.size(), 1);
            QVERIFY2(sent[0].error.isEmpty(), qPrintable(box.box + u" : "_s + sent[0].error));
            QCOMPARE(keys(sent[0].document), QStringList{u"FidelityMember"_s});
            const QJsonObject member = sent[0].document.value(u"FidelityMember"_s).toObject();
            QCOMPARE(member.value(u"id"_s).toString(), id);
            QStringList expected{u"id"_s, u"criteria"_s, box.address ? u"address"_s : box.key};
            QCOMPARE(keys(member), sorted(expected));
            QCOMPARE(keys(member.value(u"criteria"_s).toObject()),
                     (QStringList{u"cn1"_s, u"cn2"_s, u"cn3"_s, u"cn4"_s, u"cn5"_s}));
            if (box.address)
                QCOMPARE(keys(member.value(u"address"_s).toObject()),
                         (QStringList{u"line1"_s, u"line2"_s, u"town"_s, u"zip"_s}));
            QCOMPARE(ofmember(member, box), typed);

            counter.lookup(u"ID="_s + id);
            QCOMPARE(ofmember(counter.shownmember(), box), typed);
        }

        // A new child: its first name and sex are cut to the sizes of their columns.
        counter.requests();
        bool saved = false;
        counter.onform([&](EnrolmentForm& form) {
            form.enfants().appendrow({false, value, value, QString()});
            form.validate();
            saved = form.saved();
            if (form.isVisible())
                form.reject();
        });
        counter.window().findChild<QToolButton*>(u"ToolButton2"_s)->click();
        QVERIFY2(saved, qPrintable(counter.dialogs.texts().join(u'|')));
        const QList<Request> sent = counter.requests();
        QCOMPARE(sent.size(), 2);
        QVERIFY2(sent[1].error.isEmpty(), qPrintable(sent[1].error));
        const QJsonObject child = sent[1].document.value(u"FidelityMemberChild"_s).toObject();
        QCOMPARE(keys(child), (QStringList{u"firstname"_s, u"parent"_s, u"sex"_s}));
        QCOMPARE(child.value(u"parent"_s).toObject(), (QJsonObject{{u"id"_s, id}}));
        QCOMPARE(child.value(u"firstname"_s).toString(), cut(value, 20));
        QCOMPARE(child.value(u"sex"_s).toString(), cut(value, 5));

        counter.lookup(u"ID="_s + id);
        const QJsonValue children = counter.shownmember().value(u"children"_s);
        const QJsonObject stored = children.isArray() ? children.toArray().last().toObject()
                                                      : children[u"FidelityMemberChild"_s].toObject();
        QCOMPARE(stored.value(u"firstname"_s).toString(), cut(value, 20));
        QCOMPARE(stored.value(u"sex"_s).toString(), cut(value, 5));

        QCOMPARE(membercount(*m_platform), before);
    }

    void enrolment_data() { hostilevalues(); }
    // An enrolment with the value in every text box at once creates exactly one member, who holds
    // the typed texts.
    void enrolment()
    {
        QFETCH(QString, value);
        const int before = membercount(*m_platform);
        Counter counter(*m_platform);
        QMap<QString, QString> typed;
        counter.onform([&](EnrolmentForm& form) {
            for (const MemberBox& box : memberboxes()) {
                QLineEdit* edit = field(form, box.box);
                paste(edit, value);
                // A box that checks what it holds keeps the pharmacist there until it accepts it
                // (memberBoxes shows that refusal): a civility of the list, a telephone number.
                if (box.box == u"cbcivilite"_s && !EnrolmentRules::civilitevalid(edit->text()))
                    paste(edit, u"M"_s);
                else if ((box.box == u"edmobile"_s || box.box == u"edtel"_s) && !edit->text().isEmpty() &&
                         !EnrolmentRules::phonevalid(edit->text()))
                    paste(edit, u"0601020304"_s);
                typed.insert(box.box, edit->text());
            }
            field(form, u"eddtn"_s)->setText(u"25121980"_s);
            form.validate();
            if (form.isVisible())
                form.reject();
        });
        counter.window().findChild<QToolButton*>(u"ToolButton1"_s)->click();

        const QList<Request> sent = counter.requests();
        QVERIFY2(!sent.isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));
        QVERIFY2(sent[0].error.isEmpty(), qPrintable(sent[0].error));
        const QJsonObject member = sent[0].document.value(u"FidelityMember"_s).toObject();
        // The opt-ins stay unticked, so they are not sent; a phone box keeps only digits and "+".
        QStringList expected{u"birthday"_s, u"criteria"_s, u"address"_s};
        for (const MemberBox& box : memberboxes()) {
            if (!box.address && !typed.value(box.box).isEmpty())
                expected.append(box.key);
        }
        QCOMPARE(keys(member), sorted(expected));
        QCOMPARE(keys(member.value(u"address"_s).toObject()),
                 (QStringList{u"line1"_s, u"line2"_s, u"town"_s, u"zip"_s}));
        // Leaving the civility box puts it in capitals.
        for (auto it = typed.begin(); it != typed.end(); ++it) {
            if (it.key() == u"cbcivilite"_s)
                it.value() = it.value().toUpper();
        }
        for (const MemberBox& box : memberboxes())
            QCOMPARE(ofmember(member, box), typed.value(box.box));
        for (const Request& request : sent)
            QVERIFY2(request.error.isEmpty(), qPrintable(request.error));

        // The new member is shown, as the platform holds it.
        QVERIFY2(!counter.window().state().idle(), qPrintable(counter.dialogs.texts().join(u'|')));
        const QJsonObject shown = counter.shownmember();
        for (const MemberBox& box : memberboxes())
            QCOMPARE(ofmember(shown, box), typed.value(box.box));
        QCOMPARE(membercount(*m_platform), before + 1);
    }

    void search_data() { hostilevalues(); }
    // The search text in its three forms: surname, surname and first name, identifier.
    void search()
    {
        QFETCH(QString, value);
        Counter counter(*m_platform);
        struct Form
        {
            QString text;
            QJsonObject criteria;
        };
        const QList<Form> forms{
            {value, {{u"name_starts_with"_s, value}}},
            {value + u'*' + value, {{u"name_starts_with"_s, value}, {u"firstname_starts_with"_s, value}}},
            {u"ID="_s + value, {{u"id"_s, value}}},
        };
        for (const Form& form : forms) {
            counter.requests();
            QLineEdit* search = counter.window().search();
            paste(search, form.text);
            QCOMPARE(search->text(), form.text);
            Person::press(Qt::Key_Return);

            const QList<Request> sent = counter.requests();
            QCOMPARE(sent.size(), 1);
            QVERIFY2(sent[0].error.isEmpty(), qPrintable(sent[0].error));
            QJsonObject expected = form.criteria;
            expected.insert(u"actif"_s, u"1"_s);
            expected.insert(u"group"_s, QJsonObject{{u"idExternal"_s, u"101"_s}});
            QCOMPARE(sent[0].document, (QJsonObject{{u"FidelityMember"_s, expected}}));
        }
    }

    void sale_data() { hostilevalues(); }
    // Seller code, sale number and product code of a sale: the two codes lose their double quotes,
    // the product code is cut to its column's 20 characters.
    void sale()
    {
        QFETCH(QString, value);
        Counter counter(*m_platform);
        CounterWindow& window = counter.window();
        counter.lookup(u"1010001"_s);
        QVERIFY(!window.state().idle());
        const QString id = window.state().currentmemberid();
        counter.requests();

        QVERIFY(storeLines(window.state().Produits(), {{value, 1, 2.5, 2.5}}));
        paste(window.edvendeur(), value);
        paste(window.ednumvente(), value);
        QCOMPARE(window.edvendeur()->text(), value);
        QCOMPARE(window.ednumvente()->text(), value);
        window.btnadd()->click();
        QVERIFY2(counter.dialogs.texts().isEmpty(), qPrintable(counter.dialogs.texts().join(u'|')));

        const QList<Request> sent = counter.requests();
        QVERIFY(!sent.isEmpty());
        QVERIFY2(sent[0].error.isEmpty(), qPrintable(sent[0].error));
        QString unquoted = value;
        unquoted.remove(u'"');
        const QString code = cut(value, 20);
        const QJsonObject detail{
            {u"AdEventDetail"_s, QJsonObject{{u"detailType"_s, u"I"_s},
                                             {u"class1"_s, QString(u"produit "_s + code)},
                                             {u"class10"_s, code},
                                             {u"quantity"_s, u"1"_s},
                                             {u"unitValue"_s, u"2.5"_s},
                                             {u"finalvalue"_s, u"2.5"_s}}}};
        const QJsonObject event{
            {u"type"_s, u"addCA"_s},
            {u"member"_s, QJsonObject{{u"id"_s, id.toDouble()}}},
            {u"group"_s, QJsonObject{{u"loadFromKeys"_s, QJsonObject{{u"idExternal"_s, u"101"_s}}}}},
            {u"sparam"_s, unquoted},
            {u"idExternal"_s, unquoted},
            {u"fvalue"_s, u"2.5"_s},
            {u"details"_s, QJsonArray{detail}},
        };
        QCOMPARE(sent[0].document, (QJsonObject{{u"AdEvent"_s, event}}));
        // The sale landed: the member was looked up again.
        QVERIFY(!window.state().idle());
    }

private:
    static void hostilevalues()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("double quotes") << u"Jean \"Le Grand\", \"actif\":\"0"_s;
        QTest::newRow("backslashes") << u"C:\\temp\\ \\\" \\u0041 \\"_s;
        QTest::newRow("control characters") << u"a\x01b\x07"
                                               u"c\td\x1F"
                                               u"e\x7F"
                                               u"f\u2028g"_s;
        QTest::newRow("emoji")
            << u"x\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600"
               u"\U0001F600\U0001F600\U0001F600\U0001F600\U0001F44D\U0001F3FD\U0001F1EB\U0001F1F7"_s;
        QTest::newRow("10000 characters") << u"Ab\"\\é"_s.repeated(2000);
        QTest::newRow("json_data") << u"json_data={\"FidelityMember\":{}}&json_data=%22+x=1"_s;
    }
};

QTEST_MAIN(TestHostileInputPlatform)
#include "tst_hostileinput_platform.moc"
