// The extension's own page, behind its toolbar button: in one look, whether
// the page in the current tab is served, and if not why, in words a support
// person can act on; then what it rests on (the host, the versions, the
// policy the host holds). status.html?origin=ORIGIN judges that origin
// instead of the tab's.
"use strict";

const show = (id, text) => { document.getElementById(id).textContent = text; };

function verdict(kind, text, fix) {
  const element = document.getElementById("verdict");
  element.className = `verdict ${kind}`;
  element.textContent = text;
  show("fix", fix || "");
}

// The origin of the page to judge: given in the address, else the active tab's.
async function pageOrigin() {
  const given = new URLSearchParams(location.search).get("origin");
  if (given) return given;
  const [tab] = await chrome.tabs.query({ active: true, currentWindow: true });
  try {
    const url = new URL(tab && tab.url ? tab.url : "");
    return /^https?:$/.test(url.protocol) ? url.origin : "";
  } catch (error) {
    return "";
  }
}

function hostText(status) {
  if (status.hostAnswered) return `found, version ${status.hostVersion || "(not told)"}`;
  if (!status.hostProblem) return "not asked yet";
  const reason = status.hostProblem.reason;
  switch (status.hostProblem.name) {
    case "HostMissingError": return `not found for this browser (${reason})`;
    case "HostForbiddenError": return `found, but its manifest does not allow this extension (${reason})`;
    default: return `did not answer (${reason})`;
  }
}

function policyText(policy) {
  if (policy === null) return "not known: the host has not said";
  if (policy === "*") return "every page (no policy is set, or it is \"*\")";
  return policy.length ? policy.join(", ") : "no origin";
}

async function main() {
  const origin = await pageOrigin();
  const status = await chrome.runtime.sendMessage({ dravenilStatus: true, origin });
  show("tab", origin || "no web page in this tab");
  show("host", hostText(status));
  show("extension", status.extensionId);
  // What the host said before it went away is not shown as now.
  const hostVersion = status.hostAnswered ? status.hostVersion : "";
  const versions = `extension ${status.extensionVersion}, host ${hostVersion || "unknown"}`;
  const mismatch = hostVersion && hostVersion !== status.extensionVersion;
  show("versions", versions + (mismatch ? " (not one release)" : ""));
  show("policy", policyText(status.hostAnswered ? status.policy : null));

  if (status.hostProblem && status.hostProblem.name === "HostMissingError") {
    verdict("problem", "No page is served: the file access host is not installed for this browser.",
      `Install the Dravenil File Access Plugin package (npDravenilFileAccessPlugin-${status.extensionVersion}.msi, ` +
      `or npDravenilFileAccessPlugin-${status.extensionVersion}-x64.msi for a 64-bit browser) on this ` +
      "computer, then restart the browser. Where it is installed, its manifest may not allow this " +
      `extension (id ${status.extensionId}; Firefox tells the two apart no better): install the ` +
      "package built for it. An administrator can check the set-up with npDravenilFileAccessHost.exe --check.");
  } else if (status.hostProblem && status.hostProblem.name === "HostForbiddenError") {
    verdict("problem", "No page is served: the installed file access host does not allow this extension.",
      `Install the package built for this extension (id ${status.extensionId}), or the extension that ` +
      "comes with the installed package. npDravenilFileAccessHost.exe --check names the extension it allows.");
  } else if (status.hostProblem) {
    verdict("problem", "No page is served: the file access host did not answer.",
      "Run npDravenilFileAccessHost.exe --check on this computer: it says which part is missing or " +
      "broken, and how to repair it.");
  } else if (!origin) {
    verdict("waiting", "This tab shows no web page: open the product's page to see whether it is served.");
  } else if (!status.served) {
    verdict("problem", `This page is not served: the administrator's origin policy does not name ${origin}.`,
      `Ask the administrator to add ${origin} to AllowedOrigins (Group Policy, or ALLOWEDORIGINS when ` +
      `installing). npDravenilFileAccessHost.exe --check ${origin} tells what to set.`);
  } else {
    verdict("ok", `This page is served: ${origin} may use the file access plug-in.`,
      mismatch ? "The host and the extension come from different releases: install both of one release." : "");
  }
}

main().catch((error) => verdict("problem", `The extension could not tell: ${error && error.message ? error.message : error}`));
