// 后天补救: what the family can do after naming to strengthen the elements the
// birth wants: everyday colours and directions, card colours, lucky objects.
function SetData(text) {
  'use strict';
  var R = Report;
  R.received = Array.prototype.slice.call(arguments);
  var d = R.parse(text);
  var main = R.page('后天补救', '用颜色、方位与随身之物补益五行', true);
  if (!d) { R.empty(main, '没有收到这个名字的补救建议。'); return; }

  var COLOURS = [['白色', '#ffffff'], ['金色', '#d4af37'], ['银色', '#c0c0c0'], ['黑色', '#222222'], ['蓝色', '#2f6db3'],
    ['绿色', '#3d8b4f'], ['青色', '#2a9d8f'], ['红色', '#cf3a2a'], ['紫色', '#7b4fa0'], ['粉色', '#f2a0b5'],
    ['橙色', '#ef8a2c'], ['黄色', '#f0c419'], ['咖啡色', '#6f4e37'], ['棕色', '#8b5a2b'], ['褐色', '#8b5a2b'],
    ['灰色', '#9a9a9a'], ['米色', '#efe3c8']];

  function swatches(text) {
    var s = R.str(text);
    var box = R.el('div', 'swatches');
    COLOURS.forEach(function (c) {
      if (s.indexOf(c[0]) < 0) return;
      var item = R.el('span', 'swatch');
      var sw = R.swatch(c[1]);
      item.appendChild(sw);
      item.appendChild(document.createTextNode(c[0]));
      box.appendChild(item);
    });
    return box.childNodes.length ? box : null;
  }

  var items = [['htbj', '日常补益'], ['mpys', '名片与用品颜色'], ['kymp', '开运物品与行业']];
  var shown = 0;
  items.forEach(function (item) {
    var v = R.get(d, item[0]);
    if (R.section(main, item[1], function (s) {
      var body = R.anyValue(v);
      if (!body) return false;
      if (item[0] !== 'kymp') R.append(s, swatches(v));
      s.appendChild(body);
    })) shown++;
  });
  if (!shown) R.empty(main, '暂无补救建议。');
  main.appendChild(R.el('p', 'note', '以上建议依据八字喜用五行给出，供家长参考。'));
}
