/* Sorts a table of the page by a column when its heading is pressed; the
   page reads fully without it. A cell's data-sort, where it has one, is the
   key (a status's rank); the cells of number columns sort as numbers. */
(function () {
  "use strict";
  function key(row, column, numeric) {
    var cell = row.cells[column];
    var text = cell.hasAttribute("data-sort") ? cell.getAttribute("data-sort") : cell.textContent;
    return numeric ? Number(text) : text.trim().toLowerCase();
  }
  function sortBy(table, header, column) {
    var ascending = header.getAttribute("aria-sort") !== "ascending";
    var numeric = header.classList.contains("number");
    var body = table.tBodies[0];
    var rows = Array.prototype.slice.call(body.rows);
    Array.prototype.forEach.call(table.tHead.rows[0].cells, function (cell) {
      cell.removeAttribute("aria-sort");
    });
    header.setAttribute("aria-sort", ascending ? "ascending" : "descending");
    rows.sort(function (a, b) {
      var x = key(a, column, numeric);
      var y = key(b, column, numeric);
      var order = x < y ? -1 : x > y ? 1 : 0;
      return ascending ? order : -order;
    });
    rows.forEach(function (row) {
      body.appendChild(row);
    });
  }
  Array.prototype.forEach.call(document.querySelectorAll("table.sortable"), function (table) {
    Array.prototype.forEach.call(table.tHead.rows[0].cells, function (header, column) {
      var button = document.createElement("button");
      button.type = "button";
      button.textContent = header.textContent;
      header.textContent = "";
      header.appendChild(button);
      button.addEventListener("click", function () {
        sortBy(table, header, column);
      });
    });
  });
})();
