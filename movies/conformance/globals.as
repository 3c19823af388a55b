// The global functions that are actions, and the special names.
var t = getTimer();
trace(typeof t);
trace(t >= 0);
var r = random(10);
trace(r >= 0 && r < 10 && r == int(r));
trace(chr(97) + chr(98));
trace(ord("A"));
trace(int("42.9") + 1);
trace(String(3) + Number("4"));

var name1 = "value of name1";
trace(eval("name1"));
var holder = {inner: {deep: 5}};
trace(eval("holder.inner.deep"));

_global.shared = "global value";
trace(shared);
function readsGlobal() { return shared + "!"; }
trace(readsGlobal());

trace(this == _root);
trace(_level0 == _root);
_root.onRoot = 7;
trace(onRoot);

function countArgs() { return arguments.length; }
trace(countArgs());
trace(countArgs(1, 2, 3));
function sumArgs() {
  var s = 0;
  for (var i = 0; i < arguments.length; i++) s += arguments[i];
  return s;
}
trace(sumArgs(1, 2, 3, 4));
function secondArg(a, b) { return arguments[1] + b; }
trace(secondArg("x", "y"));

// 'this' inside methods and plain calls.
var obj = {tag: "obj", who: function () { return this.tag; }};
trace(obj.who());
var other = {tag: "other"};
other.who = obj.who;
trace(other.who());

// A local shadows a global function name.
function shadow() {
  var trace2 = "local";
  var String = function (v) { return "custom " + v; };
  return String(1) + " " + trace2;
}
trace(shadow());

// isNaN, isFinite, Math.
trace(isNaN("x") + " " + isFinite(1 / 0));
trace(Math.max(3, 9, 1) + Math.min(4, 2) + Math.abs(-5) + Math.floor(2.7) + Math.round(2.5));
trace(Math.pow(2, 10));
