// Loops, break and continue, and switch.
var s = "";
var i = 0;
while (i < 5) {
  i++;
  if (i == 2) continue;
  if (i == 4) break;
  s += i;
}
trace(s);

s = "";
i = 0;
do {
  s += i;
  i += 2;
} while (i < 7);
trace(s);

s = "";
for (var j = 10; j > 0; j -= 3) s += j + " ";
trace(s);

var n = 0;
for (;;) {
  if (++n >= 4) break;
}
trace(n);

// Nested loops: break and continue affect only the innermost loop.
var out = [];
for (var a = 0; a < 3; a++) {
  for (var b = 0; b < 3; b++) {
    if (b == a) continue;
    if (b > 1) break;
    out.push("" + a + b);
  }
}
trace(out.join(","));

function classify(v) {
  var r = "";
  switch (v) {
    case 1:
      r += "one ";
    case 2:
      r += "two-or-fallthrough ";
      break;
    case "1":
      r += "string-one ";
      break;
    default:
      r += "other ";
    case 3:
      r += "three ";
  }
  return r;
}
trace(classify(1));
trace(classify(2));
trace(classify("1"));
trace(classify(3));
trace(classify(9));

// switch inside a loop: break ends the switch, continue the loop.
var log = [];
for (var k = 0; k < 4; k++) {
  switch (k % 2) {
    case 0:
      log.push("even" + k);
      break;
    default:
      continue;
  }
  log.push("after" + k);
}
trace(log.join(" "));

// Case expressions are evaluated in order.
function pick(x) { trace("test " + x); return x; }
switch (2) {
  case pick(1): trace("no"); break;
  case pick(2): trace("match"); break;
  case pick(3): trace("never"); break;
}

// if / else if chains.
function grade(score) {
  if (score >= 90) return "A";
  else if (score >= 80) return "B";
  else if (score >= 70) return "C";
  else return "F";
}
trace(grade(95) + grade(85) + grade(75) + grade(10));
