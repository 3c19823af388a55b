// Locals that no inner function sees live in registers; captured ones stay named.
function counter(start) {
  var step = 2;
  var count = start;
  return function () {
    count += step;
    return count;
  };
}
function sum(list) {
  var total = 0;
  for (var i = 0; i < list.length; i++) total += list[i];
  return total;
}
trace(sum([1, 2]) + counter(1)());
