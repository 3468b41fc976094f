#include "counter/CounterWindow.h"

#include "counter/CounterKeys.h"
#include "counter/CounterRules.h"
#include "counter/CounterSession.h"
#include "counter/CounterState.h"
#include "counter/CouponGrid.h"
#include "counter/ElidedLabel.h"
#include "counter/ProductDelegate.h"
#include "counter/Sale.h"
#include "counter/SaleLines.h"
#include "counter/SaleLinesModel.h"
#include "data/GridEditing.h"
#include "members/MemberChoiceDialog.h"
#include "outbox/KeptSales.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "settings/Settings.h"
#include "settings/Switches.h"

#include <QChildEvent>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QShortcut>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

using Field = SaleLine::Field;

bool isenter(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

const QColor darkgreen(41, 103, 22);
const QColor hottrack(151, 190, 13);
const QColor silver(192, 192, 192);
const QColor teal(0, 128, 128);
const QColor green(0, 128, 0);
const QColor menu(240, 240, 240);
const QColor amber(176, 80, 0); // the kept sales: white on it reads at 5:1
const QColor grey(128, 128, 128);

QString rgb(const QColor& c)
{
    return u"rgb(%1,%2,%3)"_s.arg(c.red()).arg(c.green()).arg(c.blue());
}

QFont tahoma(int pixels, bool bold)
{
    QFont font(u"Tahoma"_s);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QWidget* panel(const QString& name, const QColor& colour, QWidget* parent)
{
    auto* widget = new QWidget(parent);
    widget->setObjectName(name);
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    return widget;
}

QLabel* label(const QString& name, const QString& text, QWidget* parent)
{
    auto* widget = new QLabel(text, parent);
    widget->setObjectName(name);
    return widget;
}

// A label that shows a value of the member: empty at first. Screen readers read its text as its
// name, and what it shows as its description. A value is shown as plain text, never as markup.
QLabel* valuelabel(QLabel* widget, const QString& name, const QString& description)
{
    widget->setObjectName(name);
    widget->setTextFormat(Qt::PlainText);
    widget->setAccessibleDescription(description);
    return widget;
}

QLabel* valuelabel(const QString& name, const QString& description, QWidget* parent)
{
    return valuelabel(new QLabel(parent), name, description);
}

QLineEdit* edit(const QString& name, int width, QWidget* parent)
{
    auto* widget = new QLineEdit(parent);
    widget->setObjectName(name);
    widget->setFixedWidth(width);
    return widget;
}

// A flat button with its picture beside its caption, filling a coloured panel.
QToolButton* flatbutton(const QString& name, const QString& caption, const QString& picture, QWidget* host)
{
    auto* button = new QToolButton(host);
    button->setObjectName(name);
    button->setText(caption);
    button->setAccessibleName(caption);
    if (!picture.isEmpty())
        button->setIcon(QIcon(picture));
    button->setIconSize(QSize(16, 16));
    button->setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return button;
}

// The panel and its one button filling it.
QToolButton* paneledbutton(const QString& panelname, const QColor& colour, QSize size, const QString& name,
                           const QString& caption, const QString& picture, QWidget* parent)
{
    QWidget* host = panel(panelname, colour, parent);
    host->setFixedSize(size);
    QToolButton* button = flatbutton(name, caption, picture, host);
    button->setStyleSheet(
        u"QToolButton { color: white; font-weight: bold; border: none; background: transparent; }"
        "QToolButton:hover { background: rgba(255,255,255,45); }"
        "QToolButton:focus { border: 1px dotted white; }"
        "QToolButton:disabled { color: rgba(255,255,255,110); }"_s);
    auto* layout = new QHBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button);
    return button;
}

} // namespace

CounterWindow::CounterWindow(const Context& context, QWidget* parent)
    : QMainWindow(parent), m_context(context),
      m_session(new CounterSession(CounterSession::Context{context.client, context.buffer, context.settings,
                                                           context.dialogs, context.clock,
                                                           context.switches.nocoupon()},
                                   this))
{
    Q_INIT_RESOURCE(buttons);
    setObjectName(u"Form1"_s);
    setWindowTitle(u"Quilba v"_s + QStringLiteral(QUILBA_VERSION));

    QFont font(u"Calibri"_s);
    font.setPixelSize(12);
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, grey);
    palette.setColor(QPalette::Text, grey);
    setPalette(palette);

    buildtoolbar();
    auto* central = new QWidget(this);
    central->setObjectName(u"central"_s);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildsearchpanel());
    layout->addWidget(buildmemberpanel());
    layout->addWidget(buildproductspanel());
    layout->addWidget(buildbottombar());
    setCentralWidget(central);
    settaborder();
    setkeys();
    m_coupons = new CouponGrid(m_listecoupons, *m_session, this);
    m_coupons->setusecoupon([this](const Coupons::Coupon& coupon) { usecoupon(coupon); });
    m_coupons->setprintcoupon([this](const Coupons::Coupon& coupon) { m_session->couponTicket(coupon); });

    // What the pharmacist types goes to the session as it changes; what the session shows is
    // painted at once.
    connect(m_session, &CounterSession::changed, this, &CounterWindow::render);
    connect(m_search, &QLineEdit::textChanged, m_session, &CounterSession::setsearchtext);
    connect(m_addpoint, &QLineEdit::textChanged, m_session, &CounterSession::setamount);
    connect(m_ednumvente, &QLineEdit::textChanged, m_session, &CounterSession::setnumber);
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        if (!m_search->text().isEmpty())
            btsearchClick();
    });
    connect(m_btsearch, &QToolButton::clicked, this, &CounterWindow::btsearchClick);
    connect(m_nextcustomer, &QToolButton::clicked, this, &CounterWindow::nextCustomer);
    connect(m_btnprintpoints, &QToolButton::clicked, this, &CounterWindow::btnprintpointsClick);
    connect(m_btnadd, &QToolButton::clicked, this, &CounterWindow::validatesale);
    connect(m_add10pts, &QToolButton::clicked, this, &CounterWindow::add10ptsClick);
    connect(m_nbInsert, &QToolButton::clicked, this, &CounterWindow::nbInsertClick);
    connect(m_nbDelete, &QToolButton::clicked, this, &CounterWindow::nbDeleteClick);
    connect(m_dbgridproduits->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CounterWindow::dbgridproduitsCurrentChanged);
    auto* products = new ProductDelegate(m_dbgridproduits);
    m_dbgridproduits->setItemDelegate(products);
    // A number the grid cannot read is said once the editor that held it is gone, whatever closed
    // it (Tab, a click elsewhere); Enter and "Valider Vente" say it at once.
    connect(products, &ProductDelegate::refused, this,
            [this](const QModelIndex& index, const QString& text, const QString& why) {
                m_refusal = Refusal{QPersistentModelIndex(index), text, why};
                QTimer::singleShot(0, this, [this] { tellrefusal(); });
            });
    m_dbgridproduits->installEventFilter(this);
    m_dbgridproduits->viewport()->installEventFilter(this);
    m_addpoint->installEventFilter(this);
    render();

    setFixedSize(557, 380);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    m_search->setFocus();
}

CounterWindow::~CounterWindow() = default;

void CounterWindow::buildtoolbar()
{
    auto* bar = new QToolBar(this);
    bar->setObjectName(u"ToolBar1"_s);
    bar->setAccessibleName(u"Barre d'outils"_s);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->setStyleSheet(
        u"QToolBar { background: %1; border: none; spacing: 0; padding: 0; }"
        "QToolButton { color: white; font-family: Calibri; font-size: 12px; font-weight: bold;"
        " min-width: 76px; max-width: 76px; border: none; background: %1; }"
        "QToolButton:hover, QToolButton:focus { background: %2; }"
        "QToolBar::separator { width: 8px; background: %1; }"_s.arg(rgb(darkgreen), rgb(hottrack)));
    addToolBar(Qt::TopToolBarArea, bar);
    bar->setFixedHeight(26);

    const auto add = [&](const QString& name, const QString& caption, const QString& description) {
        auto* button = new QToolButton(bar);
        button->setObjectName(name);
        button->setText(caption);
        button->setAccessibleName(caption);
        button->setAccessibleDescription(description);
        button->setToolTip(description);
        // Reached by Tab, never by a click: a window opened from the toolbar gives the keyboard
        // back, when it closes, to where the pharmacist was working, not to the button.
        button->setFocusPolicy(Qt::TabFocus);
        button->setFixedHeight(26);
        bar->addWidget(button);
        m_toolbuttons.append(button);
        return button;
    };
    connect(add(u"ToolButton1"_s, u"ADHESION"_s, u"Nouvelle adhésion"_s), &QToolButton::clicked, this,
            &CounterWindow::adhesionrequested);
    connect(add(u"ToolButton2"_s, u"MODIFICATION"_s, u"Modifier le client affiché"_s), &QToolButton::clicked,
            this, [this] {
                if (!m_session->idle())
                    emit modificationrequested();
            });
    connect(add(u"ToolButton3"_s, u"HISTORIQUE"_s, u"Historique du client affiché"_s), &QToolButton::clicked,
            this, [this] {
                if (!m_session->idle())
                    emit historiquerequested();
            });
    bar->addSeparator()->setObjectName(u"ToolButton7"_s);
    connect(add(u"ToolButton6"_s, u"ADELYA"_s, u"Ouvrir la page de la plateforme de fidélité"_s),
            &QToolButton::clicked, this, &CounterWindow::openOperatorPage);
    bar->addSeparator()->setObjectName(u"ToolButton4"_s);
    connect(add(u"ToolButton5"_s, u"PARAMETRES"_s, u"Paramètres de connexion"_s), &QToolButton::clicked, this,
            &CounterWindow::parametresrequested);

    // The sales kept while the platform was away, shown only while there are some.
    auto* spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    m_btventesenattente = new QToolButton(bar);
    m_btventesenattente->setObjectName(u"btventesenattente"_s);
    m_btventesenattente->setAccessibleDescription(u"Voir les ventes en attente d'envoi à la plateforme"_s);
    m_btventesenattente->setToolTip(m_btventesenattente->accessibleDescription());
    m_btventesenattente->setFocusPolicy(Qt::TabFocus);
    m_btventesenattente->setFixedHeight(26);
    m_btventesenattente->setStyleSheet(
        u"QToolButton { color: white; background: %1; min-width: 0; max-width: 200px; padding: 0 6px; }"
        "QToolButton:hover, QToolButton:focus { background: %2; }"_s.arg(rgb(amber), rgb(hottrack)));
    m_keptaction = bar->addWidget(m_btventesenattente);
    m_keptaction->setVisible(false);
    connect(m_btventesenattente, &QToolButton::clicked, this, &CounterWindow::keptsalesrequested);
    // The sales and coupon uses sent at the counter that the platform has not confirmed yet.
    m_btaconfirmer = new QToolButton(bar);
    m_btaconfirmer->setObjectName(u"btaconfirmer"_s);
    m_btaconfirmer->setAccessibleDescription(
        u"Ventes et coupons envoyés dont la plateforme n'a pas encore confirmé l'enregistrement"_s);
    m_btaconfirmer->setToolTip(m_btaconfirmer->accessibleDescription());
    m_btaconfirmer->setFocusPolicy(Qt::TabFocus);
    m_btaconfirmer->setFixedHeight(26);
    m_btaconfirmer->setStyleSheet(m_btventesenattente->styleSheet());
    m_confirmaction = bar->addWidget(m_btaconfirmer);
    m_confirmaction->setVisible(false);
    connect(m_btaconfirmer, &QToolButton::clicked, this, &CounterWindow::keptsalesrequested);
}

QWidget* CounterWindow::buildsearchpanel()
{
    QWidget* panelsearch = panel(u"panelsearch"_s, Qt::white, this);
    panelsearch->setFixedHeight(41);

    QLabel* label1 = label(u"Label1"_s, u"Nom / N° carte : "_s, panelsearch);
    m_search = edit(u"search"_s, 249, panelsearch);
    label1->setBuddy(m_search);
    m_btsearch = paneledbutton(u"Panel1"_s, silver, QSize(112, 29), u"btsearch"_s, u"Chercher"_s, QString(),
                               panelsearch);
    m_btsearch->setAccessibleDescription(u"Chercher le client"_s);

    // These two only hold the pictures that btsearch shows; they are never enabled.
    m_btglyphsearch = flatbutton(u"btglyphsearch"_s, QString(), u":/buttons/magnifier.svg"_s, panelsearch);
    m_btglyphsearch->setAccessibleName(u"Image de la recherche"_s);
    m_btglyphsearch->setFixedSize(23, 22);
    m_btglyphsearch->setEnabled(false);
    m_btglyphrefresh = flatbutton(u"btglyphrefresh"_s, QString(), u":/buttons/refresh.svg"_s, panelsearch);
    m_btglyphrefresh->setAccessibleName(u"Image de l'actualisation"_s);
    m_btglyphrefresh->setFixedSize(30, 29);
    m_btglyphrefresh->setEnabled(false);

    auto* layout = new QHBoxLayout(panelsearch);
    layout->setContentsMargins(10, 0, 8, 0);
    layout->setSpacing(8);
    layout->addWidget(label1);
    layout->addWidget(m_search);
    layout->addWidget(m_btsearch->parentWidget());
    layout->addStretch();
    layout->addWidget(m_btglyphsearch);
    layout->addWidget(m_btglyphrefresh);
    return panelsearch;
}

QWidget* CounterWindow::buildmemberpanel()
{
    QWidget* panelmember = panel(u"panelmember"_s, Qt::white, this);
    panelmember->setFixedHeight(176);

    // A value too long for its place is cut with "…", the whole value in the tooltip.
    m_lblnom = valuelabel(new ElidedLabel(panelmember), u"lblnom"_s, u"Client"_s);
    m_lblnom->setFont(tahoma(20, true));
    QPalette namecolour = m_lblnom->palette();
    namecolour.setColor(QPalette::WindowText, darkgreen);
    m_lblnom->setPalette(namecolour);
    m_lbladresse = valuelabel(u"lbladresse"_s, u"Adresse"_s, panelmember);
    m_lbladresse->setWordWrap(true);
    m_lblmail = valuelabel(new ElidedLabel(panelmember), u"lblmail"_s, u"email"_s);
    m_lblmobile = valuelabel(new ElidedLabel(panelmember), u"lblmobile"_s, u"Mobile"_s);
    m_lblfixe = valuelabel(new ElidedLabel(panelmember), u"lblfixe"_s, u"Tel fixe"_s);
    m_lbldernvente = valuelabel(new ElidedLabel(panelmember), u"lbldernvente"_s, u"Date dernière vente"_s);

    auto* details = new QGridLayout;
    details->setHorizontalSpacing(6);
    details->setVerticalSpacing(4);
    const auto row = [&](int at, const QString& name, const QString& caption, QLabel* value) {
        details->addWidget(label(name, caption, panelmember), at, 0, Qt::AlignLeft | Qt::AlignTop);
        details->addWidget(value, at, 1, Qt::AlignTop);
    };
    row(0, u"Label5"_s, u"Adresse :"_s, m_lbladresse);
    row(1, u"Label8"_s, u"email :"_s, m_lblmail);
    row(2, u"Label6"_s, u"Mobile :"_s, m_lblmobile);
    row(3, u"Label9"_s, u"Tel fixe :"_s, m_lblfixe);
    row(4, u"Label7"_s, u"Date dernière vente :"_s, m_lbldernvente);
    details->setColumnStretch(1, 1);

    auto* identity = new QVBoxLayout;
    identity->setContentsMargins(10, 8, 8, 8);
    identity->setSpacing(10);
    m_lblnom->setMinimumHeight(26);
    identity->addWidget(m_lblnom);
    identity->addLayout(details);
    identity->addStretch();

    // The points and coupons, over the right part of the member panel.
    QWidget* panelencours = panel(u"panelencours"_s, Qt::white, panelmember);
    panelencours->setFixedSize(236, 176);
    m_encours = valuelabel(u"encours"_s, u"Encours en points"_s, panelencours);
    m_encours->setFont(tahoma(50, true));
    m_encours->setPalette(namecolour);
    m_encours->setMinimumWidth(90);
    m_encours->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    m_btnprintpoints = flatbutton(u"btnprintpoints"_s, QString(), u":/buttons/printer.svg"_s, panelencours);
    m_btnprintpoints->setAccessibleName(u"Imprimer le ticket de points"_s);
    m_btnprintpoints->setToolTip(u"Imprimer le ticket de points"_s);
    m_btnprintpoints->setFixedSize(24, 24);
    m_btnprintpoints->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    m_listecoupons = new QTableWidget(2, 7, panelencours);
    m_listecoupons->setObjectName(u"listecoupons"_s);
    m_listecoupons->setAccessibleName(u"Coupons"_s);
    m_listecoupons->setFixedSize(217, 55);
    m_listecoupons->horizontalHeader()->hide();
    m_listecoupons->verticalHeader()->hide();
    m_listecoupons->verticalHeader()->setMinimumSectionSize(24);
    m_listecoupons->verticalHeader()->setDefaultSectionSize(24);
    m_listecoupons->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_listecoupons->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listecoupons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listecoupons->setTabKeyNavigation(false);
    m_listecoupons->setToolTip(u"info d'aide"_s);
    for (int row = 0; row < m_listecoupons->rowCount(); ++row) {
        for (int column = 0; column < m_listecoupons->columnCount(); ++column)
            m_listecoupons->setItem(row, column, new QTableWidgetItem);
    }
    // Track code, end date, value and id are kept in hidden columns. The coupon's name takes what
    // the two buttons leave, with or without the scroll bar (the coupon grid fits them): the grid
    // never has to scroll sideways, and "Utiliser" shows whole.
    const int widths[] = {-1, 95, 70, 70, -1, -1, -1};
    for (int column = 0; column < 7; ++column) {
        if (widths[column] < 0)
            m_listecoupons->setColumnHidden(column, true);
        else
            m_listecoupons->setColumnWidth(column, widths[column]);
    }

    auto* points = new QHBoxLayout;
    points->setSpacing(4);
    points->addWidget(m_encours);
    points->addWidget(label(u"Label11"_s, u"point(s)"_s, panelencours), 0, Qt::AlignBottom);
    points->addStretch();
    points->addWidget(m_btnprintpoints, 0, Qt::AlignBottom);

    auto* right = new QVBoxLayout(panelencours);
    right->setContentsMargins(8, 6, 11, 8);
    right->setSpacing(2);
    right->addWidget(label(u"Label3"_s, u"Encours :"_s, panelencours));
    right->addLayout(points);
    right->addStretch();
    right->addWidget(label(u"Label2"_s, u"Coupon(s) :"_s, panelencours));
    right->addWidget(m_listecoupons);

    auto* layout = new QHBoxLayout(panelmember);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(identity, 1);
    layout->addWidget(panelencours);
    return panelmember;
}

QWidget* CounterWindow::buildproductspanel()
{
    QWidget* panelproduits = panel(u"panelproduits"_s, Qt::white, this);
    panelproduits->setFixedHeight(104);

    m_dbgridproduits = new QTableView(panelproduits);
    m_dbgridproduits->setObjectName(u"dbgridproduits"_s);
    m_dbgridproduits->setAccessibleName(u"Produits"_s);
    m_dbgridproduits->setFixedSize(346, 102);
    m_produits = new SaleLinesModel(m_session->state().Produits(), this);
    m_dbgridproduits->setModel(m_produits);
    m_dbgridproduits->verticalHeader()->setDefaultSectionSize(20);
    m_dbgridproduits->verticalHeader()->setFixedWidth(12);
    m_dbgridproduits->horizontalHeader()->setFixedHeight(20);
    for (const auto& [field, width] : {std::pair{Field::Code, 110}, std::pair{Field::Quantity, 60},
                                       std::pair{Field::UnitPrice, 80}, std::pair{Field::Total, 70}})
        m_dbgridproduits->setColumnWidth(SaleLinesModel::column(field), width);

    QLabel* vendeur = label(u"lbcodevendeur"_s, u"Vendeur :"_s, panelproduits);
    m_edvendeur = edit(u"edvendeur"_s, 64, panelproduits);
    vendeur->setBuddy(m_edvendeur);
    QLabel* numvente = label(u"lblnumvente"_s, u"N° vente :"_s, panelproduits);
    m_ednumvente = edit(u"ednumvente"_s, 64, panelproduits);
    numvente->setBuddy(m_ednumvente);
    QLabel* total = label(u"Label4"_s, u"Total Vente :"_s, panelproduits);
    m_addpoint = edit(u"addpoint"_s, 64, panelproduits);
    m_addpoint->setFont(tahoma(20, false));
    QPalette amountcolour = m_addpoint->palette();
    amountcolour.setColor(QPalette::Text, darkgreen);
    m_addpoint->setPalette(amountcolour);
    total->setBuddy(m_addpoint);

    auto* sale = new QGridLayout;
    sale->setHorizontalSpacing(6);
    sale->setVerticalSpacing(4);
    sale->addWidget(vendeur, 0, 0);
    sale->addWidget(m_edvendeur, 0, 1);
    sale->addWidget(numvente, 1, 0);
    sale->addWidget(m_ednumvente, 1, 1);
    sale->addWidget(total, 2, 0);
    sale->addWidget(m_addpoint, 2, 1);
    sale->addWidget(label(u"Label10"_s, u"euros "_s, panelproduits), 2, 2);

    auto* layout = new QHBoxLayout(panelproduits);
    layout->setContentsMargins(1, 1, 8, 1);
    layout->setSpacing(10);
    layout->addWidget(m_dbgridproduits);
    layout->addLayout(sale);
    layout->addStretch();
    return panelproduits;
}

QWidget* CounterWindow::buildbottombar()
{
    QWidget* panelbas = panel(u"panelbas"_s, menu, this);
    panelbas->setFixedHeight(33);

    // The navigator over the products: insert a line, delete the current line.
    auto* navigator = new QWidget(panelbas);
    navigator->setObjectName(u"DBNavigator1"_s);
    navigator->setAccessibleName(u"Navigateur des produits"_s);
    const auto navbutton = [navigator](const QString& name, const QString& symbol,
                                       const QString& accessible) {
        auto* button = new QToolButton(navigator);
        button->setObjectName(name);
        button->setText(symbol);
        button->setAccessibleName(accessible);
        button->setToolTip(accessible);
        button->setFixedSize(25, 25);
        button->setFocusPolicy(Qt::StrongFocus);
        return button;
    };
    m_nbInsert = navbutton(u"nbInsert"_s, u"+"_s, u"Insérer une ligne"_s);
    m_nbDelete = navbutton(u"nbDelete"_s, u"\u2212"_s, u"Supprimer la ligne"_s);
    auto* navlayout = new QHBoxLayout(navigator);
    navlayout->setContentsMargins(0, 0, 0, 0);
    navlayout->setSpacing(0);
    navlayout->addWidget(m_nbInsert);
    navlayout->addWidget(m_nbDelete);

    m_add10pts = paneledbutton(u"Panel2"_s, teal, QSize(104, 29), u"add10pts"_s, u"10 Points"_s,
                               u":/buttons/plus.svg"_s, panelbas);
    m_add10pts->setIconSize(QSize(14, 14));
    m_nextcustomer = paneledbutton(u"panelbtnquit"_s, silver, QSize(136, 29), u"SpeedButton2"_s,
                                   u"Client Suivant"_s, u":/buttons/next.svg"_s, panelbas);
    m_btnadd = paneledbutton(u"panelbtnvalide"_s, green, QSize(136, 29), u"btnadd"_s, u"Valider Vente"_s,
                             u":/buttons/valid.svg"_s, panelbas);

    auto* layout = new QHBoxLayout(panelbas);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(6);
    layout->addWidget(navigator);
    layout->addStretch();
    layout->addWidget(m_add10pts->parentWidget());
    layout->addWidget(m_nextcustomer->parentWidget());
    layout->addWidget(m_btnadd->parentWidget());
    return panelbas;
}

void CounterWindow::settaborder()
{
    const QList<QWidget*> order{
        m_search,   m_btsearch, m_listecoupons, m_btnprintpoints, m_dbgridproduits, m_edvendeur, m_ednumvente,
        m_addpoint, m_nbInsert, m_nbDelete,     m_add10pts,       m_nextcustomer,   m_btnadd};
    QWidget* previous = nullptr;
    for (QWidget* widget : order) {
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
    for (QToolButton* button : m_toolbuttons) {
        setTabOrder(previous, button);
        previous = button;
    }
    setTabOrder(previous, m_btventesenattente);
}

void CounterWindow::setkeys()
{
    for (const CounterKeys::Key& key : CounterKeys::buttons()) {
        auto* button = findChild<QToolButton*>(key.control);
        if (!button)
            continue;
        QString description = button->toolTip();
        if (description.isEmpty())
            description = button->accessibleDescription();
        if (description.isEmpty())
            description = button->accessibleName();
        button->setToolTip(CounterKeys::tooltip(description, key.sequence));
        const QKeyCombination combination = key.sequence[0];
        if (combination.keyboardModifiers() == Qt::AltModifier) {
            // Alt and the letter underlined in the caption.
            QString caption = button->text();
            caption.insert(caption.indexOf(QKeySequence(combination.key()).toString()), u'&');
            button->setText(caption);
            continue;
        }
        QWidget* scope = key.scope.isEmpty() ? this : findChild<QWidget*>(key.scope);
        auto* shortcut = new QShortcut(key.sequence, scope);
        shortcut->setContext(key.scope.isEmpty() ? Qt::WindowShortcut : Qt::WidgetWithChildrenShortcut);
        // A key presses its button as a click does: nothing while the button is disabled.
        if (button == m_btsearch)
            connect(shortcut, &QShortcut::activated, this, &CounterWindow::searchkey);
        else
            connect(shortcut, &QShortcut::activated, button, &QToolButton::click);
    }
}

void CounterWindow::searchkey()
{
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
    if (!m_search->text().isEmpty())
        m_btsearch->click();
}

CounterState& CounterWindow::state()
{
    return m_session->state();
}

void CounterWindow::setchoixmembre(MemberChoiceDialog* dialog)
{
    if (dialog)
        m_session->setchooser(
            [dialog](const std::vector<QStringList>& rows) { return dialog->choose(rows); });
    else
        m_session->setchooser({});
}

void CounterWindow::setreportoutput(ReportOutput* output)
{
    m_session->setreportoutput(output);
}

const Tickets& CounterWindow::tickets() const
{
    return m_session->tickets();
}

Tickets::Member CounterWindow::shownmember() const
{
    return m_session->shownmember();
}

QString CounterWindow::seller() const
{
    return m_edvendeur->text();
}

void CounterWindow::setsearchtext(const QString& text)
{
    m_session->setsearchtext(text);
}

void CounterWindow::refreshmember()
{
    m_session->refreshmember();
}

void CounterWindow::producttotal(int row)
{
    m_session->producttotal(row);
}

void CounterWindow::render()
{
    const CounterShown& shown = m_session->shown();
    const auto settext = [](auto* widget, const QString& text) {
        if (widget->text() != text)
            widget->setText(text);
    };
    settext(m_search, shown.search);
    settext(m_lblnom, shown.name);
    settext(m_lbladresse, shown.address);
    settext(m_lblmail, shown.mail);
    settext(m_lblmobile, shown.mobile);
    settext(m_lblfixe, shown.landline);
    settext(m_lbldernvente, shown.lastsale);
    settext(m_encours, shown.points);
    settext(m_addpoint, shown.amount);
    settext(m_ednumvente, shown.number);
    m_coupons->show(shown.coupons);

    settext(m_btsearch, shown.searchcaption);
    const QIcon& picture = (shown.refreshpicture ? m_btglyphrefresh : m_btglyphsearch)->icon();
    if (m_btsearch->icon().cacheKey() != picture.cacheKey())
        m_btsearch->setIcon(picture);
    m_dbgridproduits->setEnabled(shown.products);
    m_listecoupons->setEnabled(shown.coupongrid);
    m_addpoint->setEnabled(shown.amountfield);
    m_btnadd->setEnabled(shown.sale);
    m_add10pts->setEnabled(shown.addten);
    m_btnprintpoints->setEnabled(shown.pointsticket);

    // A file that cannot be used is said on the button, its reason in the tooltip.
    const QString kept = shown.outboxFailure.isEmpty() ? KeptSales::countcaption(shown.kept)
                                                       : u"Ventes en attente : fichier inutilisable"_s;
    settext(m_btventesenattente, kept);
    if (m_btventesenattente->accessibleName() != kept)
        m_btventesenattente->setAccessibleName(kept);
    const QString why = shown.outboxFailure.isEmpty()
                            ? u"Voir les ventes en attente d'envoi à la plateforme"_s
                            : shown.outboxFailure;
    if (m_btventesenattente->accessibleDescription() != why) {
        m_btventesenattente->setAccessibleDescription(why);
        m_btventesenattente->setToolTip(why);
    }
    m_keptaction->setVisible(shown.kept > 0 || !shown.outboxFailure.isEmpty());
    settext(m_btaconfirmer, shown.confirming);
    if (m_btaconfirmer->accessibleName() != shown.confirming)
        m_btaconfirmer->setAccessibleName(shown.confirming);
    m_confirmaction->setVisible(!shown.confirming.isEmpty());
}

void CounterWindow::showoutcome(const CounterOutcome& outcome)
{
    render();
    if (outcome.loaded)
        m_dbgridproduits->setFocus();
    for (const CounterOutcome::Message& message : outcome.told) {
        if (message.box == CounterOutcome::Message::Box::Exception)
            m_context.dialogs.exception(message.text);
        else
            m_context.dialogs.information(message.text);
    }
}

void CounterWindow::btnprintpointsClick()
{
    m_session->pointsTicket();
}

void CounterWindow::btsearchClick()
{
    showoutcome(m_session->lookup(m_search->text()));
}

void CounterWindow::nextCustomer()
{
    if (m_session->nextCustomer())
        m_search->setFocus();
}

void CounterWindow::openOperatorPage()
{
    m_context.shell.openurl(operatorpage(m_context.settings.url()));
}

void CounterWindow::usecoupon(const Coupons::Coupon& coupon)
{
    showoutcome(m_session->useCoupon(coupon));
    btsearchClick();
}

void CounterWindow::add10ptsClick()
{
    showoutcome(m_session->addTen());
}

void CounterWindow::validatesale()
{
    // A line still being typed, its cell editor open or not, is stored first and sent with the
    // others; the empty line left for the next product is dropped. The amount read here is the
    // one the pharmacist sees: a stored line that changes it stops the sale.
    const CounterOutcome outcome = m_session->validate(
        {m_edvendeur->text(), m_ednumvente->text(), m_addpoint->text()}, [this] { return storelines(); });
    showoutcome(outcome);
    // A kept sale leaves the counter to the next customer.
    if (outcome.result == CounterOutcome::Result::Kept)
        m_search->setFocus();
}

bool CounterWindow::eventFilter(QObject* watched, QEvent* event)
{
    QWidget* viewport = m_dbgridproduits->viewport();
    if (watched == viewport && event->type() == QEvent::ChildAdded) {
        // Cell editors are children of the viewport: they get the grid's key rules too, ahead of
        // the delegate's own filter, installed once the editor is set up.
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType())
            QTimer::singleShot(0, child, [this, child] { child->installEventFilter(this); });
    } else if (event->type() == QEvent::ShortcutOverride) {
        // In the products grid F2 keeps its grid meaning: it edits the current cell.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier &&
            (watched == m_dbgridproduits || watched->parent() == viewport)) {
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == m_addpoint)
            return addpointKeyPress(key);
        if (watched == m_dbgridproduits || watched->parent() == viewport)
            return dbgridproduitsKeyPress(watched, key);
    }
    return QMainWindow::eventFilter(watched, event);
}

bool CounterWindow::addpointKeyPress(QKeyEvent* key)
{
    if (isenter(key)) {
        validatesale();
        return true;
    }
    const QString text = key->text();
    // Keys without a printable character (arrows, Tab, Backspace, Delete) and shortcuts are left to
    // the field and the window.
    if (text.isEmpty() || !text.at(0).isPrint() || (key->modifiers() & Qt::ControlModifier))
        return false;
    if (text == u"."_s) {
        m_addpoint->insert(u","_s);
        return true;
    }
    // Digits "0" to "9", "," and "-" only.
    const QChar c = text.size() == 1 ? text.at(0) : QChar();
    return !((c >= u'0' && c <= u'9') || c == u',' || c == u'-');
}

bool CounterWindow::dbgridproduitsKeyPress(QObject* watched, QKeyEvent* key)
{
    SaleLines& produits = m_produits->lines();
    const QModelIndex current = m_dbgridproduits->currentIndex();
    if (key->text() == u"."_s && current.isValid() && SaleLinesModel::field(current) == Field::UnitPrice) {
        QKeyEvent comma(QEvent::KeyPress, Qt::Key_Comma, key->modifiers(), u","_s);
        QCoreApplication::sendEvent(watched, &comma);
        return true;
    }
    if (watched != m_dbgridproduits) {
        if (!isenter(key))
            return false;
        // Enter in a cell editor: the text typed is stored in the field first.
        auto* editor = static_cast<QWidget*>(watched);
        QAbstractItemDelegate* delegate = m_dbgridproduits->itemDelegate();
        emit delegate->commitData(editor);
        if (tellrefusal())
            return true;
        emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
        dbgridproduitsEnter();
        return true;
    }
    if (isenter(key)) {
        dbgridproduitsEnter();
        return true;
    }
    // Typing into the empty table starts its first line.
    if (produits.size() == 0 && !key->text().isEmpty() && key->text().at(0).isPrint()) {
        const int row = produits.appendpending();
        m_dbgridproduits->setCurrentIndex(m_produits->cell(row, Field::Code));
    }
    return false;
}

void CounterWindow::dbgridproduitsEnter()
{
    SaleLines& produits = m_produits->lines();
    const QModelIndex current = m_dbgridproduits->currentIndex();
    if (!current.isValid())
        return;
    const Field field = SaleLinesModel::field(current);
    if (field == Field::UnitPrice)
        producttotal(current.row());
    if (field != SaleLine::fields.back()) {
        m_dbgridproduits->setCurrentIndex(current.siblingAtColumn(current.column() + 1));
        return;
    }
    // From "Total": the line is stored and a new one appended.
    if (produits.inserted(current.row()) || produits.entering(current.row())) {
        if (const std::optional<QString> message = produits.store(current.row())) {
            m_context.dialogs.information(*message);
            return;
        }
    }
    const int row = produits.appendpending();
    m_dbgridproduits->setCurrentIndex(m_produits->cell(row, Field::Code));
}

void CounterWindow::dbgridproduitsCurrentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    const SaleLines& produits = m_produits->lines();
    // The view moves its cursor while a line is being removed or stored: that line is the lines'
    // business until the change is over.
    if (produits.changing() || !previous.isValid() || previous.row() >= produits.size())
        return;
    // A number just refused on that line: the cursor goes back to it, nothing is stored meanwhile.
    if (m_refusal && m_refusal->index.row() == previous.row())
        return;
    if (SaleLinesModel::field(previous) == Field::UnitPrice)
        producttotal(previous.row());
    if (current.row() != previous.row())
        storeline(previous.row());
}

bool CounterWindow::storeline(int row)
{
    SaleLines& produits = m_produits->lines();
    if (!produits.entering(row))
        return true;
    if (produits.inserted(row) && produits.at(row).blank())
        return produits.cancel(row);
    if (const std::optional<QString> message = produits.store(row)) {
        m_context.dialogs.information(*message);
        m_dbgridproduits->setCurrentIndex(m_produits->cell(row, Field::Code));
        return false;
    }
    return true;
}

bool CounterWindow::tellrefusal()
{
    if (!m_refusal)
        return false;
    const Refusal refusal = *std::exchange(m_refusal, std::nullopt);
    const QModelIndex index = refusal.index;
    if (!index.isValid())
        return false;
    // The editor goes first: the box takes the keyboard, and an editor left open would be stored
    // again as the focus leaves it.
    QAbstractItemDelegate* delegate = m_dbgridproduits->itemDelegate();
    if (QWidget* editor = m_dbgridproduits->indexWidget(m_dbgridproduits->currentIndex()))
        emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    const QString field = SaleLine::caption(SaleLinesModel::field(index));
    m_context.dialogs.information(Sale::unreadablemessage(index.row(), field, refusal.why));
    // The cursor in the cell, with what was typed, to be corrected.
    m_dbgridproduits->setFocus();
    m_dbgridproduits->setCurrentIndex(index);
    m_dbgridproduits->edit(index);
    if (auto* editor = qobject_cast<QLineEdit*>(m_dbgridproduits->indexWidget(index))) {
        editor->setText(refusal.text);
        editor->selectAll();
    }
    return true;
}

bool CounterWindow::storelines()
{
    GridEditing::commit(*m_dbgridproduits);
    if (tellrefusal())
        return false;
    const SaleLines& produits = m_produits->lines();
    // The price just typed counts as the column left.
    const QModelIndex current = m_dbgridproduits->currentIndex();
    if (current.isValid() && SaleLinesModel::field(current) == Field::UnitPrice)
        producttotal(current.row());
    for (int row = 0; row < produits.size();) {
        const int rows = produits.size();
        if (!storeline(row))
            return false;
        // A dropped empty line leaves the next one at the same place.
        if (produits.size() == rows)
            ++row;
    }
    return true;
}

void CounterWindow::nbInsertClick()
{
    if (!m_dbgridproduits->isEnabled() || !storelines())
        return;
    const int row = m_produits->lines().appendpending();
    const QModelIndex index = m_produits->cell(row, Field::Code);
    m_dbgridproduits->setFocus();
    m_dbgridproduits->setCurrentIndex(index);
    m_dbgridproduits->edit(index);
}

void CounterWindow::nbDeleteClick()
{
    SaleLines& produits = m_produits->lines();
    if (!m_dbgridproduits->isEnabled())
        return;
    GridEditing::commit(*m_dbgridproduits);
    if (produits.size() == 0)
        return;
    const int current = m_dbgridproduits->currentIndex().row();
    const int row = current >= 0 && current < produits.size() ? current : produits.size() - 1;
    // The empty line the grid appended for the next product goes without a question, and nothing
    // else with it.
    if (produits.inserted(row) && produits.at(row).blank()) {
        produits.cancel(row);
        return;
    }
    if (!m_context.dialogs.question(u"Supprimer l'enregistrement ?"_s))
        return;
    // A new line never stored is dropped; a stored one is deleted and the amount follows.
    if (!produits.cancel(row))
        produits.remove(row);
}

void CounterWindow::closeEvent(QCloseEvent* event)
{
    // A cell still being typed counts as typed.
    GridEditing::commit(*m_dbgridproduits);
    if (!m_session->mayclose()) {
        event->ignore();
        return;
    }
    emit closed();
    QMainWindow::closeEvent(event);
}
