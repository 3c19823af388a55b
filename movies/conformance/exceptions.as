// throw, try/catch/finally, nested handlers and errors crossing function calls.
function risky(n) {
  if (n < 0) throw new Error("negative: " + n);
  if (n == 0) throw "zero";
  return n * 2;
}
function attempt(n) {
  try {
    trace("result " + risky(n));
  } catch (e) {
    if (e instanceof Error) {
      trace("error " + e.message);
    } else {
      trace("thrown " + e);
    }
  } finally {
    trace("finally " + n);
  }
}
attempt(2);
attempt(0);
attempt(-1);

// Rethrow from an inner handler to an outer one.
try {
  try {
    throw {code: 7};
  } catch (inner) {
    trace("inner " + inner.code);
    inner.code++;
    throw inner;
  } finally {
    trace("inner finally");
  }
} catch (outer) {
  trace("outer " + outer.code);
}

// A handler in a function keeps its catch variable in a register.
function safeDivide(a, b) {
  var result;
  try {
    if (b == 0) throw new Error("divide by zero");
    result = a / b;
  } catch (err) {
    result = err.message;
  }
  return result;
}
trace(safeDivide(9, 3));
trace(safeDivide(1, 0));

// A captured catch variable stays visible to closures.
function catcher() {
  var f;
  try {
    throw "kept";
  } catch (x) {
    f = function () { return x; };
  }
  return f();
}
trace(catcher());

// finally without catch lets the error through.
function passThrough() {
  try {
    throw "through";
  } finally {
    trace("cleanup");
  }
}
try {
  passThrough();
} catch (e2) {
  trace("got " + e2);
}

// Error objects.
var e3 = new Error("msg");
trace(e3.message);
trace(e3.name);
trace(e3.toString());

// Throwing from a loop ends the loop.
var count = 0;
try {
  while (true) {
    if (++count == 3) throw count;
  }
} catch (n) {
  trace("stopped at " + n);
}
