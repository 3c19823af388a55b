// Closures: captured variables live in the activation object, the rest in registers.
function counter(start) {
  var count = start;
  return {
    next: function () { return ++count; },
    peek: function () { return count; }
  };
}
var c1 = counter(10);
var c2 = counter(100);
c1.next();
c1.next();
c2.next();
trace(c1.peek() + " " + c2.peek());

function adder(x) {
  return function (y) { return x + y; };
}
var add5 = adder(5);
trace(add5(3));
trace(adder("a")("b"));

// All closures made in one call share its variables.
function makeList() {
  var fns = [];
  for (var i = 0; i < 3; i++) {
    fns.push(function () { return i; });
  }
  return fns;
}
var list = makeList();
trace(list[0]() + "," + list[1]() + "," + list[2]());

// A fresh scope per value through a helper function.
function makeBound() {
  var fns = [];
  for (var i = 0; i < 3; i++) {
    fns.push((function (v) { return function () { return v * 10; }; })(i));
  }
  return fns;
}
var bound = makeBound();
trace(bound[0]() + "," + bound[1]() + "," + bound[2]());

// Three levels deep, with a local of the same name in between.
function outer() {
  var a = "outer";
  var b = "b-outer";
  function middle() {
    var b = "b-middle";
    function inner() { return a + "/" + b; }
    return inner();
  }
  return middle() + "|" + b;
}
trace(outer());

// Inner functions see later assignments to captured variables.
function late() {
  var v = 1;
  var get = function () { return v; };
  v = 2;
  return get();
}
trace(late());

// Locals do not leak into the timeline.
function scoped() {
  var hidden = 42;
  var alsoHidden = function () { return hidden; };
  return alsoHidden();
}
trace(scoped());
trace(typeof hidden);

// Recursion through the function's own timeline name.
function fact(n) { return n <= 1 ? 1 : n * fact(n - 1); }
trace(fact(10));

// A closure updates a captured parameter.
function acc(total) {
  return function (n) { total += n; return total; };
}
var a1 = acc(1);
a1(2);
trace(a1(3));

// Timeline variables assigned inside functions.
var g = 1;
function bump() { g = g + 1; }
bump();
bump();
trace(g);
