#pragma once

#include <QString>

#include <string>
#include <vector>

class LocalPlatform;

// The benchmarks of quilba-bench and their names, which the summary reads back.
namespace names {
inline constexpr const char* memberQuilba = "json/membre_500_evenements/quilba";
inline constexpr const char* memberRapidjson = "json/membre_500_evenements/rapidjson";
inline constexpr const char* listQuilba = "json/liste_10000_membres/quilba";
inline constexpr const char* listRapidjson = "json/liste_10000_membres/rapidjson";
inline constexpr const char* lookupReference = "comptoir/recherche_carte/libcurl_rapidjson";
inline constexpr const char* lookupClient = "comptoir/recherche_carte/client";
inline constexpr const char* lookupSession = "comptoir/recherche_et_coupons/session";
inline constexpr const char* lookupWindow = "comptoir/entree_a_fenetre_peinte";
inline constexpr const char* saleWindow = "comptoir/vente_deux_lignes_a_fenetre_peinte";
inline constexpr const char* saleRequest = "comptoir/vente_requete_seule";
inline constexpr const char* transportQuilba = "transport/recherche_carte/quilba";
inline constexpr const char* transportCurl = "transport/recherche_carte/curl";
inline constexpr const char* startupQuilba = "demarrage/fenetre_comptoir/quilba";
inline constexpr const char* startupBare = "demarrage/fenetre_comptoir/qt_nu";
inline constexpr const char* choice10000 = "fenetres/choix_10000_membres";
inline constexpr const char* choice1000 = "fenetres/choix_1000_membres";
inline constexpr const char* history10000 = "fenetres/historique_10000_evenements";
inline constexpr const char* history1000 = "fenetres/historique_1000_evenements";
inline constexpr const char* ticketPdf = "ticket/bon_7_50_pdf";
inline constexpr const char* line = "ligne/actes";
} // namespace names

// Reading the platform's replies into JsonValue, and the same bytes with RapidJSON's Document.
void registerjsonbenchmarks();
// One coupon ticket filled, laid out and written as a PDF file in a temporary folder.
void registerticketbenchmarks();
// A lookup by card number against the local platform: the counter's client, request to parsed
// reply, and the curl command doing the same form post.
void registertransportbenchmarks(const LocalPlatform& platform);
// What the pharmacist waits for at each customer, against the limit of this machine: a libcurl
// easy handle doing the same card lookup followed by RapidJSON's Document::Parse. The counter's
// client alone, the session's lookup with the coupon query, Enter in the search field to the
// window painted, and a sale of two lines to the refreshed member painted.
void registercounterbenchmarks(const LocalPlatform& platform);
// The acts at the counter over a line of 30 ms round trip to the platform served over HTTPS (TLS 1.3,
// then TLS 1.2 only): the counter window against plain libcurl doing the same requests, in round
// trips, with the connections and TLS handshakes the platform counted.
void registerlinebenchmarks();
// Their lines for the summary, once the benchmark ran.
const std::vector<std::string>& linebenchmarkfigures();
// From launching quilba to its counter window painted, and the same for a bare Qt program showing
// one empty QWidget (both with QUILBA_STARTUP_PROBE). The work folder must already point at the
// local platform.
void registerstartupbenchmarks(const QString& bindir);
// The choice dialog showing a list reply of 10,000 and 1,000 members, the history window showing
// 10,000 and 1,000 events: filled, laid out and painted once, then closed.
void registerwindowbenchmarks();

// The longest wait between two ticks of a 10 ms timer while the counter's client waits 2 s for a
// delayed reply from the platform, the wait shown as at the counter, in milliseconds; negative
// when the request failed.
double longesteventloopgap(LocalPlatform& platform);
