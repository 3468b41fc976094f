#pragma once

#include <QString>
#include <QStringList>
#include <array>

class JsonValue;

// How a member is sent: enrolled as a new member, or the changes of an existing one.
enum class SaveMode
{
    Create,
    Update,
};

// One child slot of a member record.
struct MemberChild
{
    QString id;           // platform identifier; empty until the child exists on the platform
    QString prenom;       // first name
    QString sexe;         // "M" or "F"
    QString dtn;          // birth date as 8 digits ddmmyyyy, or empty
    bool update = false;  // to be sent at the next save
    bool delete_ = false; // marked for deletion: never sent
};

// The program's copy of one loyalty member: what the lookup loaded, what the user changed since
// (one change flag per field, one for the whole address), up to ten children. It writes itself
// as the FidelityMember and FidelityMemberChild request texts; MemberSession sends them.
//
// Dates are held as 8 digits ddmmyyyy; on the wire they travel as yyyy-mm-dd.
class Member final
{
public:
    static constexpr int maxenfants = 10;

    // Empties the values and the children; the change flags stay as they are.
    void init();
    // Clears the eleven change flags: from now on a flag means "changed by the user".
    void charge();

    const QString& Getid() const { return fid; }
    const QString& Getnom() const { return fnom; }
    const QString& Getprenom() const { return fprenom; }
    const QString& Getcardnumber() const { return fcardnumber; }
    const QString& Getemail() const { return femail; }
    const QString& Getmobile() const { return fmobile; }
    const QString& Getfixe() const { return ffixe; }
    bool Getmailoptin() const { return fmailoptin; }
    bool Getteloptin() const { return fteloptin; }
    const QString& Getadresse() const { return fadresse; }
    const QString& Getadresse2() const { return fadresse2; }
    const QString& Getcp() const { return fcp; }
    const QString& Getville() const { return fville; }
    const QString& Getcivilite() const { return fcivilite; }
    const QString& Getdatenaissance() const { return fdatenaissance; }
    double Getcipara() const { return fcipara; }
    double Getcibebe() const { return fcibebe; }
    double Getcisport() const { return fcisport; }
    double Getcidiet() const { return fcidiet; }
    double Getcinature() const { return fcinature; }
    int Getnbenfants() const { return fnbenfants; }

    // Flagging setters: a value different from the held one is stored and flags the field.
    void Setnom(const QString& value);
    void Setprenom(const QString& value);
    void Setcardnumber(const QString& value);
    void Setemail(const QString& value);
    void Setmobile(const QString& value);
    void Setfixe(const QString& value);
    void Setcivilite(const QString& value);
    void Setdatenaissance(const QString& value);
    void Setmailoptin(bool value);
    void Setteloptin(bool value);

    // Plain setters: store, no flag.
    void Setid(const QString& value);
    void Setadresse(const QString& value);
    void Setadresse2(const QString& value);
    void Setcp(const QString& value);
    void Setville(const QString& value);
    void Setcipara(double value);
    void Setcibebe(double value);
    void Setcisport(double value);
    void Setcidiet(double value);
    void Setcinature(double value);
    // Number of slots in use, 0 to 10; anything else is refused.
    void Setnbenfants(int value);

    // The four address parts as one group: any difference stores all four and flags the address.
    void chargeadresse(const QString& arue1, const QString& arue2, const QString& acp, const QString& aville);

    // Appends a child in the next slot, not flagged. An eleventh child is refused.
    void childrenadd(const QString& id, const QString& prenom, const QString& sexe, const QString& dtn);
    // Changes slot `indice` (1 to 10): a changed value flags the slot for sending; `delete_` is
    // always taken.
    void childrenupdate(int indice, const QString& prenom, const QString& sexe, const QString& dtn,
                        bool delete_);
    // Slot `a` (1 to 10); a number outside the slots gives empty texts.
    QString prnenfant(int a) const;
    QString sexeenfant(int a) const;
    QString dtnenfant(int a) const;
    const MemberChild& enfant(int a) const;
    // The platform's identifier of the child in slot `a` (1 to 10), once it exists there.
    void setchildid(int a, const QString& id);
    // The ids of the children that exist on the platform, as the record holds them.
    QStringList childids() const;

    // The FidelityMember request object (without "json_data={" and "}"); an update carries the id.
    QString tostrjson(SaveMode mode) const;
    // The FidelityMemberChild request object of slot n.
    QString tostrjsonenfant(int n) const;

    // Clears the record with init and loads it from the FidelityMember object of a lookup reply.
    // A missing required key or an unreadable value raises QuilbaError with the getter's message;
    // what was stored before it stays. Children after the tenth are left out (childrenleftout()).
    void fromjson(const JsonValue& member);
    // The children of the last reply loaded that found no slot.
    int childrenleftout() const { return m_childrenleftout; }
    // Told once when a member with more than ten children is shown.
    static QString childrenleftoutmessage(int leftout);

private:
    MemberChild& slot(int a);

    QString fid;
    QString fnom;
    bool ufnom = false;
    QString fprenom;
    bool ufprenom = false;
    QString fcardnumber;
    bool ufcardnumber = false;
    QString femail;
    bool ufemail = false;
    QString fmobile;
    bool ufmobile = false;
    QString ffixe;
    bool uffixe = false;
    bool fmailoptin = false;
    bool ufmailoptin = false;
    bool fteloptin = false;
    bool ufteloptin = false;
    QString fadresse;
    QString fadresse2;
    QString fcp;
    QString fville;
    bool uadresse = false;
    QString fcivilite;
    bool ufcivilite = false;
    QString fdatenaissance;
    bool udatenaissance = false;
    std::array<MemberChild, maxenfants> fenfants;
    int fnbenfants = 0;
    double fcipara = 0;
    double fcibebe = 0;
    double fcisport = 0;
    double fcidiet = 0;
    double fcinature = 0;
    int m_childrenleftout = 0;
};
