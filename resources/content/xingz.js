// 星座分析: the child's star sign.
// SetData(text): the explanation of the star sign; it names the sign itself.
var STAR_SIGN_SYMBOLS = { '白羊座': '♈', '金牛座': '♉', '双子座': '♊', '巨蟹座': '♋', '狮子座': '♌', '处女座': '♍',
  '天秤座': '♎', '天蝎座': '♏', '射手座': '♐', '摩羯座': '♑', '水瓶座': '♒', '双鱼座': '♓' };

function SetData(text) {
  'use strict';
  var R = Report;
  R.received = Array.prototype.slice.call(arguments);
  var s0 = R.str(text);
  var m = /^\s*([\u4e00-\u9fff]{2}座)/.exec(s0);
  var main = R.page('星座分析', m ? m[1] : '', true);
  if (!R.section(main, m ? m[1] : '星座解读', function (s) {
    var body = R.paragraphs(s0);
    if (!body) return false;
    if (m) s.appendChild(R.el('div', 'big-sign', (STAR_SIGN_SYMBOLS[m[1]] ? STAR_SIGN_SYMBOLS[m[1]] + '\uFE0E' : '') || m[1].charAt(0)));
    s.appendChild(body);
  })) R.empty(main, '暂无这个星座的解读。');
}
