#include "members/Member.h"

#include "api/JsonGetters.h"
#include "api/JsonValue.h"
#include "api/QuilbaError.h"

#include <QLocale>

namespace {

QString toomanychildren()
{
    return QStringLiteral("Un membre ne peut pas avoir plus de %1 enfants").arg(Member::maxenfants);
}

// "key":"value", with the value escaped for a JSON string.
QString element(const QString& key, const QString& value)
{
    return u'"' + key + QStringLiteral("\":\"") + jsonescape(value) + QStringLiteral("\",");
}

// The same element without its comma, for the last element of an object.
QString lastelement(const QString& key, const QString& value)
{
    QString text = element(key, value);
    text.chop(1);
    return text;
}

void dropcomma(QString& text)
{
    if (text.endsWith(u','))
        text.chop(1);
}

// ddmmyyyy into yyyy-mm-dd.
QString tojsondate(const QString& dtn)
{
    return dtn.mid(4, 4) + u'-' + dtn.mid(2, 2) + u'-' + dtn.mid(0, 2);
}

// yyyy-mm-dd into ddmmyyyy.
QString fromjsondate(const QString& date)
{
    return date.mid(8, 2) + date.mid(5, 2) + date.mid(0, 4);
}

// Criteria travel in the shortest general form, with a point: 1 gives "1", 0.5 gives "0.5".
QString criterion(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString flagtext(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

template <typename T> void setflagged(T& field, bool& flag, const T& value)
{
    if (field != value) {
        field = value;
        flag = true;
    }
}

const JsonValue* objectat(const JsonValue& parent, std::string_view key)
{
    const JsonValue* value = parent.find(key);
    return value && value->isObject() ? value : nullptr;
}

} // namespace

void Member::init()
{
    fid.clear();
    fcardnumber.clear();
    fnom.clear();
    fprenom.clear();
    fadresse.clear();
    fadresse2.clear();
    fcivilite.clear();
    fcp.clear();
    fville.clear();
    femail.clear();
    ffixe.clear();
    fmobile.clear();
    fdatenaissance.clear();
    fteloptin = false;
    fmailoptin = false;
    // Every slot, not only those in use, so that no value of an earlier member lingers in a slot
    // that the form fills later.
    fenfants.fill(MemberChild());
    fnbenfants = 0;
    m_childrenleftout = 0;
    fcipara = 0;
    fcibebe = 0;
    fcisport = 0;
    fcidiet = 0;
    fcinature = 0;
}

void Member::charge()
{
    ufnom = false;
    ufprenom = false;
    ufcardnumber = false;
    ufemail = false;
    ufmobile = false;
    uffixe = false;
    ufmailoptin = false;
    ufteloptin = false;
    uadresse = false;
    ufcivilite = false;
    udatenaissance = false;
}

void Member::Setnom(const QString& value)
{
    setflagged(fnom, ufnom, value);
}

void Member::Setprenom(const QString& value)
{
    setflagged(fprenom, ufprenom, value);
}

void Member::Setcardnumber(const QString& value)
{
    setflagged(fcardnumber, ufcardnumber, value);
}

void Member::Setemail(const QString& value)
{
    setflagged(femail, ufemail, value);
}

void Member::Setmobile(const QString& value)
{
    setflagged(fmobile, ufmobile, value);
}

void Member::Setfixe(const QString& value)
{
    setflagged(ffixe, uffixe, value);
}

void Member::Setcivilite(const QString& value)
{
    setflagged(fcivilite, ufcivilite, value);
}

void Member::Setdatenaissance(const QString& value)
{
    setflagged(fdatenaissance, udatenaissance, value);
}

void Member::Setmailoptin(bool value)
{
    setflagged(fmailoptin, ufmailoptin, value);
}

void Member::Setteloptin(bool value)
{
    setflagged(fteloptin, ufteloptin, value);
}

void Member::Setid(const QString& value)
{
    fid = value;
}

void Member::Setadresse(const QString& value)
{
    fadresse = value;
}

void Member::Setadresse2(const QString& value)
{
    fadresse2 = value;
}

void Member::Setcp(const QString& value)
{
    fcp = value;
}

void Member::Setville(const QString& value)
{
    fville = value;
}

void Member::Setcipara(double value)
{
    fcipara = value;
}

void Member::Setcibebe(double value)
{
    fcibebe = value;
}

void Member::Setcisport(double value)
{
    fcisport = value;
}

void Member::Setcidiet(double value)
{
    fcidiet = value;
}

void Member::Setcinature(double value)
{
    fcinature = value;
}

void Member::Setnbenfants(int value)
{
    if (value > maxenfants)
        throw QuilbaError(toomanychildren());
    if (value < 0)
        throw QuilbaError(QStringLiteral("Nombre d'enfants invalide : %1").arg(value));
    fnbenfants = value;
}

void Member::chargeadresse(const QString& arue1, const QString& arue2, const QString& acp,
                           const QString& aville)
{
    if (arue1 == fadresse && arue2 == fadresse2 && acp == fcp && aville == fville)
        return;
    fadresse = arue1;
    fadresse2 = arue2;
    fcp = acp;
    fville = aville;
    uadresse = true;
}

MemberChild& Member::slot(int a)
{
    if (a > maxenfants)
        throw QuilbaError(toomanychildren());
    if (a < 1)
        throw QuilbaError(QStringLiteral("Numéro d'enfant invalide : %1").arg(a));
    return fenfants[static_cast<std::size_t>(a - 1)];
}

void Member::childrenadd(const QString& id, const QString& prenom, const QString& sexe, const QString& dtn)
{
    MemberChild& child = slot(fnbenfants + 1);
    child = MemberChild{id, prenom, sexe, dtn, false, false};
    ++fnbenfants;
}

void Member::childrenupdate(int indice, const QString& prenom, const QString& sexe, const QString& dtn,
                            bool delete_)
{
    MemberChild& child = slot(indice);
    setflagged(child.prenom, child.update, prenom);
    setflagged(child.sexe, child.update, sexe);
    setflagged(child.dtn, child.update, dtn);
    child.delete_ = delete_;
}

const MemberChild& Member::enfant(int a) const
{
    static const MemberChild none;
    if (a < 1 || a > maxenfants)
        return none;
    return fenfants[static_cast<std::size_t>(a - 1)];
}

void Member::setchildid(int a, const QString& id)
{
    slot(a).id = id;
}

QStringList Member::childids() const
{
    QStringList ids;
    for (int a = 1; a <= fnbenfants; ++a) {
        if (!enfant(a).id.isEmpty())
            ids.append(enfant(a).id);
    }
    return ids;
}

QString Member::prnenfant(int a) const
{
    return enfant(a).prenom;
}

QString Member::sexeenfant(int a) const
{
    return enfant(a).sexe;
}

QString Member::dtnenfant(int a) const
{
    return enfant(a).dtn;
}

QString Member::tostrjson(SaveMode mode) const
{
    QString text = QStringLiteral("\"FidelityMember\" : {");
    if (mode == SaveMode::Update)
        text += element(QStringLiteral("id"), fid);
    if (ufnom)
        text += element(QStringLiteral("name"), fnom);
    if (ufprenom)
        text += element(QStringLiteral("firstname"), fprenom);
    if (ufemail)
        text += element(QStringLiteral("email"), femail);
    if (ufcivilite)
        text += element(QStringLiteral("gender"), fcivilite);
    if (ufcardnumber)
        text += element(QStringLiteral("cardnumber"), fcardnumber);
    if (uffixe)
        text += element(QStringLiteral("tel"), ffixe);
    if (ufmobile)
        text += element(QStringLiteral("mobile"), fmobile);
    if (ufmailoptin)
        text += element(QStringLiteral("emailoptin"), flagtext(fmailoptin));
    if (ufteloptin)
        text += element(QStringLiteral("smsoptin"), flagtext(fteloptin));
    if (udatenaissance && !fdatenaissance.isEmpty())
        text += element(QStringLiteral("birthday"), tojsondate(fdatenaissance));

    text += QStringLiteral("\"criteria\":{") + element(QStringLiteral("cn1"), criterion(fcipara)) +
            element(QStringLiteral("cn2"), criterion(fcibebe)) +
            element(QStringLiteral("cn3"), criterion(fcisport)) +
            element(QStringLiteral("cn4"), criterion(fcidiet)) +
            lastelement(QStringLiteral("cn5"), criterion(fcinature)) + QStringLiteral("},");

    if (uadresse && !fville.isEmpty()) {
        text += QStringLiteral("\"address\":{") + element(QStringLiteral("line1"), fadresse) +
                element(QStringLiteral("line2"), fadresse2) + element(QStringLiteral("zip"), fcp) +
                lastelement(QStringLiteral("town"), fville) + u'}';
    }
    dropcomma(text);
    text += u'}';
    return text;
}

QString Member::tostrjsonenfant(int n) const
{
    const MemberChild& child = enfant(n);
    QString text = QStringLiteral("\"FidelityMemberChild\" : {");
    if (child.id.isEmpty())
        text +=
            QStringLiteral("\"parent\":{") + lastelement(QStringLiteral("id"), fid) + QStringLiteral("},");
    else
        text += element(QStringLiteral("id"), child.id);
    text += element(QStringLiteral("firstname"), child.prenom);
    text += element(QStringLiteral("sex"), child.sexe);
    if (!child.dtn.isEmpty())
        text += lastelement(QStringLiteral("birthday"), tojsondate(child.dtn));
    dropcomma(text);
    text += u'}';
    return text;
}

void Member::fromjson(const JsonValue& member)
{
    init();
    QString text;

    Setcardnumber(gettext(member, QStringLiteral("cardnumber")));
    Setid(gettext(member, QStringLiteral("id")));
    if (trygettext(member, QStringLiteral("name"), text))
        Setnom(text);
    if (trygettext(member, QStringLiteral("gender"), text))
        Setcivilite(text);
    if (trygettext(member, QStringLiteral("firstname"), text))
        Setprenom(text);
    if (trygettext(member, QStringLiteral("birthday"), text))
        Setdatenaissance(fromjsondate(text));
    if (trygettext(member, QStringLiteral("email"), text)) {
        Setemail(text);
        Setmailoptin(getflag(member, QStringLiteral("emailoptin")));
    }
    if (trygettext(member, QStringLiteral("mobile"), text)) {
        Setmobile(text);
        Setteloptin(getflag(member, QStringLiteral("smsoptin")));
    }
    if (trygettext(member, QStringLiteral("tel"), text))
        Setfixe(text);

    const JsonValue* address = objectat(member, "address");
    if (address && address->find("line1")) {
        if (trygettext(*address, QStringLiteral("line1"), text))
            Setadresse(text);
        if (trygettext(*address, QStringLiteral("line2"), text))
            Setadresse2(text);
        if (trygettext(*address, QStringLiteral("zip"), text))
            Setcp(text);
        if (trygettext(*address, QStringLiteral("town"), text))
            Setville(text);
    }

    if (const JsonValue* criteria = objectat(member, "criteria")) {
        const auto read = [&](const QString& key, void (Member::*setter)(double)) {
            QString found;
            if (trygettext(*criteria, key, found))
                (this->*setter)(getnumber(*criteria, key));
        };
        read(QStringLiteral("cn1"), &Member::Setcipara);
        read(QStringLiteral("cn2"), &Member::Setcibebe);
        read(QStringLiteral("cn3"), &Member::Setcisport);
        read(QStringLiteral("cn4"), &Member::Setcidiet);
        read(QStringLiteral("cn5"), &Member::Setcinature);
    }

    // The record has ten slots: the children after the tenth are counted, not loaded, so they are
    // neither shown nor ever sent back; the platform keeps them as they are.
    const auto addchild = [this](const JsonValue& child) {
        if (fnbenfants == maxenfants) {
            ++m_childrenleftout;
            return;
        }
        QString id, prenom, sexe, dtn;
        trygettext(child, QStringLiteral("id"), id);
        trygettext(child, QStringLiteral("firstname"), prenom);
        trygettext(child, QStringLiteral("sex"), sexe);
        trygettext(child, QStringLiteral("birthday"), dtn);
        childrenadd(id, prenom, sexe, fromjsondate(dtn));
    };
    if (const JsonValue* children = member.find("children")) {
        if (children->isArray()) {
            for (const JsonValue& child : children->items()) {
                if (child.isObject())
                    addchild(child);
            }
        } else if (children->isObject()) {
            if (const JsonValue* child = objectat(*children, "FidelityMemberChild"))
                addchild(*child);
        }
    }
}

QString Member::childrenleftoutmessage(int leftout)
{
    return QStringLiteral("Ce membre a %1 enfants : seuls les %2 premiers sont affichés et peuvent être "
                          "modifiés ; les autres restent inchangés sur la plateforme.")
        .arg(maxenfants + leftout)
        .arg(maxenfants);
}
