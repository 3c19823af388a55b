// Constructors, prototypes, inheritance and instanceof.
function Animal(name) {
  this.name = name;
}
Animal.prototype.speak = function () {
  return this.name + " makes " + this.sound();
};
Animal.prototype.sound = function () { return "a sound"; };

function Dog(name) {
  this.name = name;
  this.tricks = [];
}
Dog.prototype = new Animal();
Dog.prototype.sound = function () { return "woof"; };
Dog.prototype.learn = function (t) { this.tricks.push(t); return this; };

var a = new Animal("Generic");
var d = new Dog("Rex");
trace(a.speak());
trace(d.speak());
trace(d.learn("sit").learn("roll").tricks.join("+"));
trace(d instanceof Dog);
trace(d instanceof Animal);
trace(a instanceof Dog);
trace(d.__proto__ == Dog.prototype);
trace(d.hasOwnProperty("name"));
trace(d.hasOwnProperty("speak"));
trace(typeof Dog.prototype.speak);

// Methods added to built-in prototypes.
String.prototype.shout = function () { return this.toUpperCase() + "!"; };
trace("hey".shout());
Array.prototype.sum = function () {
  var s = 0;
  for (var i = 0; i < this.length; i++) s += this[i];
  return s;
};
trace([1, 2, 3, 4].sum());

// A constructor returning nothing and one called through an object member.
var ns = {};
ns.Point = function (x, y) { this.x = x; this.y = y; };
ns.Point.prototype.toString = function () { return "(" + this.x + "," + this.y + ")"; };
var p = new ns.Point(3, 4);
trace(p);
trace("p=" + p);
var ctor = ns.Point;
var q = new ctor(1, 2);
trace(q.toString());

// Function.call and apply set 'this'.
function describe(prefix, suffix) { return prefix + this.name + suffix; }
trace(describe.call(d, "<", ">"));
trace(describe.apply(a, ["[", "]"]));

// Object.registerClass-free prototype chain lookups.
var base = {greet: function () { return "hi " + this.who; }};
var obj = {who: "there"};
obj.__proto__ = base;
trace(obj.greet());
