// Keeps the SetData of the page script loaded just before this one under the
// page name of this script element, before the next page script replaces it.
PrintReport.keep(document.currentScript.getAttribute('data-page'), window.SetData);
