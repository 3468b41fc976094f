#pragma once

// The benchmarks of quilba-bench and their names, which the summary reads back.
namespace names {
inline constexpr const char* memberQuilba = "json/membre_500_evenements/quilba";
inline constexpr const char* memberRapidjson = "json/membre_500_evenements/rapidjson";
inline constexpr const char* listQuilba = "json/liste_10000_membres/quilba";
inline constexpr const char* listRapidjson = "json/liste_10000_membres/rapidjson";
inline constexpr const char* ticketPdf = "ticket/bon_7_50_pdf";
} // namespace names

// Reading the platform's replies into JsonValue, and the same bytes with RapidJSON's Document.
void registerjsonbenchmarks();
// One coupon ticket filled, laid out and written as a PDF file in a temporary folder.
void registerticketbenchmarks();
