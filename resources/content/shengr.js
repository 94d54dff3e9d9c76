// 生日密码: what the birthday says about the child.
// SetData(text): the explanation of the birth date.
function SetData(text) {
  'use strict';
  var R = Report;
  R.received = Array.prototype.slice.call(arguments);
  var main = R.page('生日密码', '从出生日期看性格与天赋', true);
  if (!R.section(main, '生日解读', function (s) {
    var body = R.paragraphs(text);
    if (!body) return false;
    s.appendChild(body);
  })) R.empty(main, '暂无这个生日的解读。');
}
