// 星座分析: the child's star sign.
// SetData(text): the explanation of the star sign; it names the sign itself.
function SetData(text) {
  'use strict';
  var R = Report;
  var s0 = R.str(text);
  var m = /^\s*([\u4e00-\u9fff]{2}座)/.exec(s0);
  var main = R.page('星座分析', m ? m[1] : '');
  if (!R.section(main, m ? m[1] : '星座解读', function (s) {
    var body = R.paragraphs(s0);
    if (!body) return false;
    if (m) s.appendChild(R.el('div', 'big-sign', m[1].charAt(0)));
    s.appendChild(body);
  })) R.empty(main, '暂无这个星座的解读。');
}
