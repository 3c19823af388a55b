// Getters and setters through addProperty, and watch/unwatch.
var o = {};
var store = 0;
o.addProperty("value",
  function () { trace("get"); return store; },
  function (v) { trace("set " + v); store = v * 2; });
o.value = 5;
trace(o.value);
o.value += 1;
trace(store);

// A read-only property: the setter is null.
var r = {};
r.addProperty("constant", function () { return "fixed"; }, null);
r.constant = "changed";
trace(r.constant);

// Properties on a prototype are shared by the instances.
function Temp(c) { this.c = c; }
Temp.prototype.addProperty("f",
  function () { return this.c * 9 / 5 + 32; },
  function (v) { this.c = (v - 32) * 5 / 9; });
var t = new Temp(100);
trace(t.f);
t.f = 32;
trace(t.c);

// watch sees the old and new value and decides what is stored.
var w = {level: 1};
w.watch("level", function (prop, oldVal, newVal, data) {
  trace(prop + ": " + oldVal + " -> " + newVal + " (" + data + ")");
  return newVal > 10 ? 10 : newVal;
}, "clamp");
w.level = 5;
w.level = 50;
trace(w.level);
w.unwatch("level");
w.level = 99;
trace(w.level);
