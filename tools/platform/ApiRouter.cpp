#include "ApiRouter.h"

#include "ApiError.h"
#include "ApiRequest.h"
#include "JsonRenderer.h"

#include <exception>

ApiRouter::ApiRouter(Store& store, const Clock& clock, const AccountList& accounts)
    : m_store(store), m_accounts(accounts), m_members(store, clock), m_coupons(store, clock),
      m_events(store, clock, m_coupons)
{
}

HttpReply ApiRouter::handle(std::string_view method, std::string_view body, std::string_view authorization)
{
    HttpReply reply;
    const Account* account = m_accounts.authenticate(authorization);
    if (account == nullptr) {
        reply.status = 401;
        reply.headers.emplace_back("WWW-Authenticate", "Basic realm=\"Quilba\"");
        reply.body =
            JsonRenderer::apiRefusal("401", "Authentification refusée : clé API, identifiant ou mot de "
                                            "passe inconnus");
        return reply;
    }
    if (method != "PUT" && method != "POST") {
        reply.status = 405;
        reply.headers.emplace_back("Allow", "PUT, POST");
        reply.body = JsonRenderer::apiRefusal("405", "Méthode non prise en charge : PUT ou POST attendu");
        return reply;
    }
    try {
        const ApiRequest request = ApiRequest::parse(method, body);
        Store::Transaction transaction(m_store);
        reply.body = dispatch(method, *account, request.object(), request.payload());
        transaction.commit();
    } catch (const ApiError& error) {
        reply.body = JsonRenderer::apiRefusal(error.code(), error.what());
    } catch (const std::exception& error) {
        reply.status = 500;
        reply.contentType = "text/plain; charset=UTF-8";
        reply.body = std::string("Erreur interne de la plateforme : ") + error.what();
    }
    return reply;
}

std::string ApiRouter::dispatch(std::string_view method, const Account& account, const std::string& object,
                                const rapidjson::Value& payload)
{
    const bool query = method == "POST";
    if (object == "FidelityMember") {
        if (query) {
            const auto found = m_members.find(account, payload);
            return found.size() == 1 ? m_members.render(found.front()) : JsonRenderer::memberList(found);
        }
        return JsonRenderer::apiOk(m_members.save(account, payload), "Adhérent enregistré");
    }
    if (object == "FidelityMemberChild")
        return JsonRenderer::apiOk(m_members.saveChild(account, payload), "Enfant enregistré");
    if (object == "Sent") {
        if (query)
            return JsonRenderer::couponList(m_coupons.query(account, payload));
        return JsonRenderer::apiOk(m_coupons.updateStatus(account, payload), "Coupon mis à jour");
    }
    if (object == "AdEvent")
        return JsonRenderer::apiOk(m_events.record(account, payload), "Événement enregistré");
    throw ApiError(ApiError::kUnreadable, "Objet inconnu : " + object);
}
