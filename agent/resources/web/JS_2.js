// Configure Agent: a gentle warning when the e-mail field does not hold an e-mail address.
(() => {
  "use strict";
  const email = document.getElementById("EditEmail");
  const warning = document.getElementById("EmailWarning");
  if (!email || !warning) return;
  email.addEventListener("change", () => {
    warning.hidden = email.value === "" || email.value.includes("@");
  });
  email.addEventListener("input", () => {
    if (email.value.includes("@")) warning.hidden = true;
  });
})();
