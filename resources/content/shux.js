// 生肖分析: the child's zodiac sign and what it means for the name.
// SetData(sign, text): the sign ("龙") and its explanation.
function SetData(sign, text) {
  'use strict';
  var R = Report;
  R.received = Array.prototype.slice.call(arguments);
  var z = R.str(sign);
  var main = R.page('生肖分析', z ? '属' + z : '', true);
  R.section(main, z ? '生肖' + z : '生肖', function (s) {
    if (z) s.appendChild(R.el('div', 'big-sign', z.charAt(0)));
    var body = R.paragraphs(text);
    if (!body && !z) return false;
    R.append(s, body || R.el('p', 'note', '暂无这个生肖的解读。'));
  });
  if (!main.childNodes.length) R.empty(main, '没有收到生肖数据。');
}
