#pragma once

#include "counter/Tickets.h"

#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QStringList>
#include <optional>

class Clock;
class QAction;
class CounterClient;
class CounterSession;
class CounterState;
class CouponGrid;
class Dialogs;
class MemberChoiceDialog;
class QKeyEvent;
class QLabel;
class QModelIndex;
class QLineEdit;
class QTableView;
class QTableWidget;
class QToolBar;
class QToolButton;
class ReplyBuffer;
class SaleLinesModel;
class ReportOutput;
class Settings;
class Shell;
class Switches;
struct CounterOutcome;
namespace Coupons {
struct Coupon;
}

// The counter window, the program's main window and hub: the search line, the member shown with
// points and coupons, the entry of the sale. It builds the controls, hands what the pharmacist
// types and asks to its CounterSession, and shows what the session shows and tells. It starts in
// the Start state; the first reset brings it to Idle, a lookup that loads a member to Member
// shown.
class CounterWindow final : public QMainWindow
{
    Q_OBJECT
public:
    // What the window works with; all of it lives for the whole run.
    struct Context
    {
        CounterClient& client;
        ReplyBuffer& buffer;
        const Settings& settings;
        Dialogs& dialogs;
        Shell& shell;
        const Clock& clock;
        const Switches& switches;
    };

    explicit CounterWindow(const Context& context, QWidget* parent = nullptr);
    ~CounterWindow() override;

    const Context& context() const { return m_context; }
    // The counter's flows and what they hold and show.
    CounterSession& session() { return *m_session; }
    // The current member record, currentmemberid, idle, the event value and Produits.
    CounterState& state();
    // The coupon grid's hint and actions.
    CouponGrid& coupons() { return *m_coupons; }

    // The dialog a list reply opens; created after this window.
    void setchoixmembre(MemberChoiceDialog* dialog);
    // Where the tickets go (preview then print, or PDF files); without one nothing is printed.
    void setreportoutput(ReportOutput* output);

    // The tickets, their header texts saved when this window was created.
    const Tickets& tickets() const;
    // The member as shown: first name, name and card number of the member record, and the text
    // of `lblnom`; all empty before any member is shown.
    Tickets::Member shownmember() const;
    // The points ticket of the member shown, with the points as `encours` shows them.
    void btnprintpointsClick();

    // The lookup with the text of the search field ("Chercher", "Rechercher", "Actualiser").
    void btsearchClick();
    // Paints, then tells the pharmacist what the step told; after a member was loaded the
    // keyboard goes to the product lines.
    void showoutcome(const CounterOutcome& outcome);
    // "Client Suivant": reset after confirmation when an amount is typed, search field emptied.
    void nextCustomer();
    // "ADELYA": the platform's operator page in the browser.
    void openOperatorPage();
    // Shows the current member record again after the enrolment form edited it: name, address
    // and contact labels, and the card number in the search field, the member staying shown.
    void refreshmember();
    // The seller code typed.
    QString seller() const;
    // Sets the search field; the same text is no change.
    void setsearchtext(const QString& text);

    // "Valider Vente" and Enter in the amount field: the lines being typed are stored, then the
    // session checks and sends the sale; a stored line that changed the amount stops it there.
    void validatesale();
    // "10 Points": the amount plus 10; an empty amount stays empty.
    void add10ptsClick();
    // "Total" := "Quantité" × "Prix Unitaire" of a product line.
    void producttotal(int row);
    // The navigator: a new line at the end; the current line deleted after confirmation.
    void nbInsertClick();
    void nbDeleteClick();

    QLineEdit* search() const { return m_search; }
    QTableWidget* listecoupons() const { return m_listecoupons; }
    QTableView* dbgridproduits() const { return m_dbgridproduits; }
    QLineEdit* addpoint() const { return m_addpoint; }
    QLineEdit* edvendeur() const { return m_edvendeur; }
    QLineEdit* ednumvente() const { return m_ednumvente; }
    QToolButton* btsearch() const { return m_btsearch; }
    QToolButton* btnadd() const { return m_btnadd; }
    QToolButton* add10pts() const { return m_add10pts; }
    QToolButton* btnprintpoints() const { return m_btnprintpoints; }
    QLabel* lblnom() const { return m_lblnom; }
    QLabel* encours() const { return m_encours; }
    QToolButton* btventesenattente() const { return m_btventesenattente; }

signals:
    // Toolbar requests; the program wires them to the windows that answer them. Modification and
    // history are asked only while a member is shown.
    void adhesionrequested();
    void modificationrequested();
    void historiquerequested();
    void parametresrequested();
    // "N ventes en attente d'envoi": the list of the kept sales.
    void keptsalesrequested();
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildtoolbar();
    QWidget* buildsearchpanel();
    QWidget* buildmemberpanel();
    QWidget* buildproductspanel();
    QWidget* buildbottombar();
    void settaborder();
    // The keys of the buttons, shown in their tooltips.
    void setkeys();
    // F2: the search field takes the keyboard with its text selected, and a text there is looked
    // up as "Chercher" or "Actualiser" does.
    void searchkey();

    // Paints what the session shows.
    void render();
    // "Utiliser": the session records the use, the pharmacist is told, the member is refreshed.
    void usecoupon(const Coupons::Coupon& coupon);

    // Key rules of the products grid and of the amount field; true when the key is consumed.
    bool dbgridproduitsKeyPress(QObject* watched, QKeyEvent* key);
    bool addpointKeyPress(QKeyEvent* key);
    // Enter in the products grid, the text typed already stored in the field.
    void dbgridproduitsEnter();
    void dbgridproduitsCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    // Stores the line being entered; an empty new line is dropped. False (why shown, the cursor
    // on the line) when it cannot be stored.
    bool storeline(int row);
    // Every line on screen as the sale sends it: the open cell editor committed, each line being
    // entered stored, empty new lines dropped. False when a line cannot be stored.
    bool storelines();
    // Tells the number the grid could not read, the cursor back in its cell with what was typed;
    // false when there was none.
    bool tellrefusal();

    // A number typed in the products grid that its field cannot read, not told yet.
    struct Refusal
    {
        QPersistentModelIndex index;
        QString text;
        QString why;
    };
    std::optional<Refusal> m_refusal;

    Context m_context;
    CounterSession* m_session;
    CouponGrid* m_coupons = nullptr;

    QLineEdit* m_search = nullptr;
    QToolButton* m_btsearch = nullptr;
    QToolButton* m_btglyphrefresh = nullptr;
    QToolButton* m_btglyphsearch = nullptr;
    QLabel* m_lblnom = nullptr;
    QLabel* m_lbladresse = nullptr;
    QLabel* m_lblmail = nullptr;
    QLabel* m_lblmobile = nullptr;
    QLabel* m_lblfixe = nullptr;
    QLabel* m_lbldernvente = nullptr;
    QLabel* m_encours = nullptr;
    QToolButton* m_btnprintpoints = nullptr;
    QTableWidget* m_listecoupons = nullptr;
    QTableView* m_dbgridproduits = nullptr;
    // The sale's lines as dbgridproduits shows them.
    SaleLinesModel* m_produits = nullptr;
    QLineEdit* m_edvendeur = nullptr;
    QLineEdit* m_ednumvente = nullptr;
    QLineEdit* m_addpoint = nullptr;
    QToolButton* m_nbInsert = nullptr;
    QToolButton* m_nbDelete = nullptr;
    QToolButton* m_add10pts = nullptr;
    QToolButton* m_nextcustomer = nullptr;
    QToolButton* m_btnadd = nullptr;
    QToolButton* m_btventesenattente = nullptr;
    QAction* m_keptaction = nullptr;
    QToolButton* m_btaconfirmer = nullptr;
    QAction* m_confirmaction = nullptr;
    QList<QToolButton*> m_toolbuttons;
};
