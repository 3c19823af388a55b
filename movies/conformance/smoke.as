#version 8
var a = 1 + 2;
trace("a=" + a);
function f(x, y) {
  var s = 0;
  for (var i = 0; i < x; i++) s += i * y;
  return s;
}
trace(f(4, 2));
function mk() { var n = 0; return function() { return ++n; }; }
var c = mk(); c(); trace(c());
var o = {p: 1, q: "two"};
for (var k in o) trace(k + ":" + o[k]);
try { throw "boom"; } catch (e) { trace("caught " + e); } finally { trace("fin"); }
