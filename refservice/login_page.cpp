#include "refservice/login_page.h"

#include "refservice/request_check.h"

namespace norvane::refservice {

namespace {

const char* kPageTemplate = R"HTML(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<title>@TITLE@</title>
<style>
  body { font-family: "WenQuanYi Micro Hei", "Noto Sans CJK SC", sans-serif; margin: 0;
         background: #f4f6f8; color: #333; }
  .card { width: 320px; margin: 36px auto; background: #fff; border-radius: 6px;
          box-shadow: 0 1px 6px rgba(0,0,0,.15); padding: 24px; text-align: center; }
  h1 { font-size: 18px; margin: 0 0 16px; color: @COLOR@; }
  label { display: block; text-align: left; font-size: 13px; margin: 10px 0 4px; color: #666; }
  input { width: 100%; box-sizing: border-box; padding: 6px 8px; font-size: 14px;
          border: 1px solid #ccc; border-radius: 3px; }
  .buttons { margin-top: 20px; display: flex; gap: 12px; }
  button { flex: 1; padding: 8px 0; font-size: 15px; border: 0; border-radius: 3px; cursor: pointer; }
  #authorize { background: @COLOR@; color: #fff; }
  #refuse { background: #e0e0e0; color: #333; }
  #status { margin-top: 14px; font-size: 13px; color: #888; min-height: 18px; word-break: break-all; }
</style>
<script src="qrc:///qtwebchannel/qwebchannel.js"></script>
</head>
<body>
<div class="card">
  <h1>@TITLE@</h1>
  <div>Norvane 申请使用你的@PROVIDER@帐号登录</div>
  <label for="nickname">昵称</label>
  <input id="nickname" value="@NICKNAME@">
  <label for="account">@IDNAME@</label>
  <input id="account" value="@ID@">
  <div class="buttons">
    <button id="authorize" type="button">授权</button>
    <button id="refuse" type="button">拒绝</button>
  </div>
  <div id="status"></div>
</div>
<script>
(function () {
  var idName = "@IDNAME@";
  var status = document.getElementById("status");

  // The host object of the channel: the program's own ("norvaneHost", whose
  // call(method, content) reaches the window), or any object offering
  // OnJS2Native(method, content).
  function findHost(objects) {
    if (objects.norvaneHost && typeof objects.norvaneHost.call === "function") {
      return function (text) { objects.norvaneHost.call(text, ""); };
    }
    for (var name in objects) {
      var o = objects[name];
      if (o && typeof o.OnJS2Native === "function") return function (text) { o.OnJS2Native(text, ""); };
    }
    return null;
  }

  // Hands the answer text to the host program as the first argument of the
  // page-to-host call. The program's web view offers window.JS2Native; a bare
  // web channel is used when only that exists. In an ordinary browser the
  // text is only shown on the page.
  function deliver(text) {
    if (typeof window.JS2Native === "function") {
      window.JS2Native(text, "");
      status.textContent = "已提交";
      return;
    }
    if (typeof qt === "undefined" || !qt.webChannelTransport || typeof QWebChannel === "undefined") {
      status.textContent = "未连接到客户端，结果：" + text;
      return;
    }
    new QWebChannel(qt.webChannelTransport, function (channel) {
      var send = findHost(channel.objects);
      if (!send) {
        status.textContent = "客户端未提供回调，结果：" + text;
        return;
      }
      send(text);
      status.textContent = "已提交";
    });
  }

  document.getElementById("authorize").onclick = function () {
    var answer = { result: 1, nickname: document.getElementById("nickname").value };
    answer[idName] = document.getElementById("account").value;
    deliver(JSON.stringify(answer));
  };
  document.getElementById("refuse").onclick = function () {
    deliver(JSON.stringify({ result: 0 }));
  };
})();
</script>
</body>
</html>
)HTML";

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

}  // namespace

std::string suggestedLoginId(LoginProvider provider, int agentId) {
  std::string seed = (provider == LoginProvider::WeChat ? "weixin:" : "qq:") + std::to_string(agentId);
  std::string digest = md5Hex(seed);
  return provider == LoginProvider::WeChat ? "oWx" + digest.substr(0, 25) : digest.substr(0, 32);
}

std::string loginPageHtml(LoginProvider provider, int agentId) {
  std::string page = kPageTemplate;
  bool wechat = provider == LoginProvider::WeChat;
  // Every value put into the page is produced here (no request text), so it
  // needs no escaping.
  replaceAll(page, "@TITLE@", wechat ? "微信授权登录" : "QQ授权登录");
  replaceAll(page, "@PROVIDER@", wechat ? "微信" : "QQ");
  replaceAll(page, "@COLOR@", wechat ? "#1aad19" : "#12b7f5");
  replaceAll(page, "@NICKNAME@", wechat ? "微信用户" : "QQ用户");
  replaceAll(page, "@IDNAME@", wechat ? "unionid" : "openid");
  replaceAll(page, "@ID@", suggestedLoginId(provider, agentId));
  return page;
}

}  // namespace norvane::refservice
