// for-in enumeration order, break and return inside enumerations.
var o = {};
o.a = 1;
o.b = 2;
o.c = 3;
var keys = [];
for (var k in o) keys.push(k);
trace(keys.join(","));

var arr = ["x", "y", "z"];
var idx = "";
for (var i in arr) idx += i;
trace(idx);

// Deleted properties are not enumerated.
delete o.b;
keys = [];
for (k in o) keys.push(k + "=" + o[k]);
trace(keys.join(","));

// break leaves the enumeration and the stack stays balanced.
var seen = 0;
for (k in {p: 1, q: 2, r: 3}) {
  seen++;
  break;
}
trace("seen " + seen);

// Nested enumerations with break and continue.
var outer = {x: 1, y: 2};
var inner = {m: 1, n: 2};
var pairs = [];
for (var a in outer) {
  for (var b in inner) {
    if (b == "n") continue;
    pairs.push(a + b);
    break;
  }
}
pairs.sort();
trace(pairs.join(" "));

// return from inside an enumeration in a function.
function findKey(obj, wanted) {
  for (var key in obj) {
    if (obj[key] == wanted) return key;
  }
  return null;
}
trace(findKey({one: 1, two: 2, three: 3}, 2));
trace(findKey({one: 1}, 5));
var after = [];
for (k in {s: 1}) after.push(k);
trace(after.join(","));

// Enumeration into a member target.
var holder = {};
var count = 0;
for (holder.last in {u: 1, v: 2}) count++;
trace(count + " " + (holder.last == "u" || holder.last == "v"));

// Enumerating a prototype chain includes inherited properties.
function Base() {}
Base.prototype.inherited = true;
var child = new Base();
child.own = true;
keys = [];
for (k in child) keys.push(k);
keys.sort();
trace(keys.join(","));
