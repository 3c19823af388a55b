// Operators on locals that live in registers, inside functions.
function ops() {
  var i = 5;
  var out = [];
  out.push(i++);
  out.push(i);
  out.push(++i);
  out.push(i--);
  out.push(--i);
  var s = "7";
  out.push(s++);
  out.push(typeof s);
  var a = 10;
  a += 5;
  a -= 3;
  a *= 2;
  a %= 7;
  a <<= 3;
  a >>>= 1;
  out.push(a);
  var t = (a = 3) + a;
  out.push(t);
  out.push(delete a);
  out.push(a);
  out.push(typeof undeclaredHere);
  return out.join(",");
}
trace(ops());

// Member updates through registers.
function members(o) {
  o.n++;
  ++o.n;
  var before = o.n--;
  o["n"] += 10;
  return before + " " + o.n;
}
trace(members({n: 1}));

// Recursive inner function and parameter shadowing.
function outer(n) {
  function inner(k) { return k <= 0 ? 0 : k + inner(k - 1); }
  var n2 = n;
  var shadow = function (n) { return n * 100; };
  return inner(n) + ":" + shadow(2) + ":" + n2;
}
trace(outer(4));

// for-in and switch on register locals.
function tally(o) {
  var count = 0, names = [];
  for (var k in o) {
    switch (o[k]) {
      case true: count++; break;
      case false: break;
      default: names.push(k);
    }
  }
  names.sort();
  return count + " " + names.join("");
}
trace(tally({a: true, b: false, c: 3, d: true, e: "x"}));

// Many locals and parameters.
function many(p1, p2, p3, p4, p5, p6, p7, p8) {
  var l1 = p1 + p2, l2 = p3 + p4, l3 = p5 + p6, l4 = p7 + p8;
  var l5 = l1 * l2, l6 = l3 * l4;
  return l5 + l6 + arguments.length;
}
trace(many(1, 2, 3, 4, 5, 6, 7, 8));

// Methods use 'this' through a preloaded register, closures through a captured copy.
var counter = {
  value: 0,
  add: function (n) { this.value += n; return this; },
  later: function () { var self = this; return function () { return self.value; }; }
};
var read = counter.add(2).add(3).later();
counter.add(10);
trace(read());
