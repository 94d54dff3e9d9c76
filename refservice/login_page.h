#pragma once
// The web login pages for the two third-party logins. The page shows an
// authorise and a refuse button and hands the host program one JSON text:
//   {"result":1,"nickname":...,"unionid":...}  (WeChat; QQ uses "openid")
//   {"result":0}                                (refused)
// through the host object of the page's web channel.
#include <string>

namespace norvane::refservice {

enum class LoginProvider { WeChat, QQ };

// The page for one provider and partner id. The suggested id is stable for
// a provider and partner, so logging in twice gives the same account.
std::string loginPageHtml(LoginProvider provider, int agentId);

// The id the page suggests ("unionid" for WeChat, "openid" for QQ).
std::string suggestedLoginId(LoginProvider provider, int agentId);

}  // namespace norvane::refservice
