"""The web page of `velkin serve` in a real browser (headless Chromium through Selenium):
type a system, press Prove, read the status, the proof and the download links; a system
full of markup shows as text. Writes a screenshot of the proved page.

Usage: browser_test.py VELKIN SCREENSHOT.png
Exits 77 (skipped) when Selenium, Chromium or its driver is missing.
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile

SKIP = 77


def skip(why):
    print("SKIPPED: " + why + "; `bash scripts/install-deps.sh browser` installs "
          "chromium, chromium-driver and python3-selenium")
    return SKIP


def find(*names):
    for name in names:
        path = shutil.which(name)
        if path:
            return path
    return None


def main():
    velkin, screenshot = sys.argv[1], sys.argv[2]
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        from selenium.webdriver.common.by import By
        from selenium.webdriver.support.ui import Select, WebDriverWait
    except ImportError as e:
        return skip("Selenium is missing (%s)" % e)
    chromium = find("chromium", "chromium-browser")
    driver = find("chromedriver")
    if not chromium or not driver:
        return skip("Chromium or chromedriver is missing")

    server = subprocess.Popen([velkin, "serve", "--port", "0", "--jobs", "2", "--max-timeout", "30"],
                              stdout=subprocess.PIPE, text=True)
    line = server.stdout.readline()
    if "http://" not in line:
        server.kill()
        print("FAILED: the server did not start: " + line)
        return 1
    url = line[line.index("http://"):].split()[0]

    profile = tempfile.mkdtemp(prefix="velkin-chromium-")
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    # Chromium as root needs --no-sandbox; the rest keep a test run off the network.
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--disable-dev-shm-usage",
                 "--window-size=1000,860", "--user-data-dir=" + profile]:
        options.add_argument(flag)
    browser = None
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)
            print("FAILED: " + what)

    try:
        try:
            browser = webdriver.Chrome(service=Service(driver), options=options)
        except Exception as e:  # a browser that cannot start here is no fault of the page
            return skip("Chromium does not start here (%s)" % str(e).splitlines()[0])
        browser.set_page_load_timeout(30)
        browser.get(url)
        check("VELKIN" in browser.title, "the title names VELKIN: " + browser.title)
        status = browser.find_element(By.ID, "status")

        def prove(system, timeout="20"):
            area = browser.find_element(By.ID, "system")
            area.clear()
            area.send_keys(system)
            limit = browser.find_element(By.ID, "timeout")
            limit.clear()
            limit.send_keys(timeout)
            browser.find_element(By.ID, "prove").click()
            WebDriverWait(browser, 60).until(
                lambda b: status.text not in ("", "busy", "no run yet"))
            return status.text

        Select(browser.find_element(By.ID, "format")).select_by_value("plain")
        Select(browser.find_element(By.ID, "strategy")).select_by_value("strong")
        word = prove("ab -> ba\nc ->= cc\n")
        check(word.startswith("terminating"), "the status says terminating: " + word)
        proof = browser.find_element(By.ID, "proof").text
        check(proof.startswith("Problem 1: termination of R relative to S"),
              "the proof is shown: " + proof[:80])
        for link in ("proof-link", "certificate-link"):
            element = browser.find_element(By.ID, link)
            check(element.is_displayed() and element.get_attribute("href").startswith("blob:"),
                  link + " offers a download")
        browser.save_screenshot(screenshot)

        # The classic strategy: the window's proof text.
        Select(browser.find_element(By.ID, "strategy")).select_by_value("classic")
        word = prove("ab -> ba")
        check(word.startswith("terminating"), "classic: terminating: " + word)
        check(browser.find_element(By.ID, "proof").text.startswith("VELKIN"),
              "classic: the proof text begins with the program's name")
        check(not browser.find_element(By.ID, "certificate-link").is_displayed(),
              "classic: no certificate to download")

        # Markup in the input comes back as text, never as elements: every character is
        # a symbol, so the proof repeats it, and the reader's warning quotes it.
        word = prove("<img src=x onerror=document.title='owned'> -> a")
        check(word.startswith("terminating"), "markup is a system too: " + word)
        check("< i m g" in browser.find_element(By.ID, "proof").text,
              "the proof shows the markup as text")
        check("<img" in browser.find_element(By.ID, "notes").text,
              "the warning shows the markup as text")
        check(browser.find_elements(By.TAG_NAME, "img") == [], "no <img> element appeared")
        check(browser.title != "owned", "no script ran")
        # A refused system: the reader's message as the status.
        word = prove("ab -> ba\n<b")
        check(word.startswith("refused: line 2: "), "a refused system: " + word)
    finally:
        if browser is not None:
            browser.quit()
        shutil.rmtree(profile, ignore_errors=True)
        server.send_signal(signal.SIGTERM)
        try:
            code = server.wait(timeout=20)
        except subprocess.TimeoutExpired:
            server.kill()
            code = "none (killed)"
        if code != 0:
            failures.append("the server's exit status after SIGTERM is %s" % code)
    if failures:
        return 1
    print("passed; screenshot in " + screenshot)
    return 0


if __name__ == "__main__":
    sys.exit(main())
