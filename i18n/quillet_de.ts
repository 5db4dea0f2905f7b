<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AccountDiscovery</name>
    <message>
        <source>The mail of %1 goes to %2.</source>
        <translation>Die E-Mail von %1 geht an %2.</translation>
    </message>
    <message>
        <source>Found in Quillet&apos;s table of providers (%1).</source>
        <translation>Gefunden in Quillets Anbietertabelle (%1).</translation>
    </message>
    <message>
        <source>Found in the DNS of %1.</source>
        <translation>Gefunden im DNS von %1.</translation>
    </message>
</context>
<context>
    <name>Audio</name>
    <message>
        <source>Error starting wave record: </source>
        <translation>Fehler beim Starten der Aufnahme: </translation>
    </message>
    <message>
        <source>Error adding next input buffer</source>
        <translation>Fehler beim Anfügen des nächsten Eingabepuffers</translation>
    </message>
    <message>
        <source>Could not open the input device for recording: </source>
        <translation>Das Eingabegerät konnte nicht zur Aufnahme geöffnet werden: </translation>
    </message>
    <message>
        <source>Error preparing header for recording: </source>
        <translation>Fehler beim Vorbereiten des Puffers für die Aufnahme: </translation>
    </message>
    <message>
        <source>Recorder already closed</source>
        <translation>Die Aufnahme ist bereits geschlossen</translation>
    </message>
    <message>
        <source>Error in waveInReset</source>
        <translation>Fehler in waveInReset</translation>
    </message>
    <message>
        <source>Error in waveInUnprepareHeader</source>
        <translation>Fehler in waveInUnprepareHeader</translation>
    </message>
    <message>
        <source>Error closing input device</source>
        <translation>Fehler beim Schließen des Eingabegeräts</translation>
    </message>
    <message>
        <source>Error adding input buffer</source>
        <translation>Fehler beim Anfügen eines Eingabepuffers</translation>
    </message>
    <message>
        <source>The input device &quot;%1&quot; is no longer available. The take was stopped; what was recorded is kept.</source>
        <translation>Das Eingabegerät „%1“ ist nicht mehr verfügbar. Die Aufnahme wurde beendet; das bisher Aufgenommene bleibt erhalten.</translation>
    </message>
    <message>
        <source>Cannot write file &quot;%1&quot;. %2</source>
        <translation>Die Datei „%1“ kann nicht geschrieben werden. %2</translation>
    </message>
    <message>
        <source>The directory is not private to this user</source>
        <translation>Der Ordner gehört nicht allein diesem Benutzer</translation>
    </message>
    <message>
        <source>No sound data found in &quot;%1&quot;</source>
        <translation>Keine Tondaten in „%1“ gefunden</translation>
    </message>
    <message>
        <source>Could not open the output device for playing: </source>
        <translation>Das Ausgabegerät konnte nicht zur Wiedergabe geöffnet werden: </translation>
    </message>
    <message>
        <source>Player already closed</source>
        <translation>Die Wiedergabe ist bereits geschlossen</translation>
    </message>
    <message>
        <source>Error unpreparing header for playing: </source>
        <translation>Fehler beim Freigeben des Puffers der Wiedergabe: </translation>
    </message>
    <message>
        <source>Error closing output device: </source>
        <translation>Fehler beim Schließen des Ausgabegeräts: </translation>
    </message>
    <message>
        <source>Error in waveOutReset</source>
        <translation>Fehler in waveOutReset</translation>
    </message>
    <message>
        <source>Not enough memory to allocate WaveFormat</source>
        <translation>Nicht genug Speicher für WaveFormat</translation>
    </message>
    <message>
        <source>Not enough memory to allocate WaveHeader</source>
        <translation>Nicht genug Speicher für WaveHeader</translation>
    </message>
    <message>
        <source>Not enough memory to allocate Wave Buffer</source>
        <translation>Nicht genug Speicher für den Wave-Puffer</translation>
    </message>
    <message>
        <source>The operation completed successfully.</source>
        <translation>Der Vorgang wurde erfolgreich abgeschlossen.</translation>
    </message>
    <message>
        <source>The sound device reported an error.</source>
        <translation>Das Audiogerät hat einen Fehler gemeldet.</translation>
    </message>
    <message>
        <source>There is no sound device with this number.</source>
        <translation>Es gibt kein Audiogerät mit dieser Nummer.</translation>
    </message>
    <message>
        <source>The sound driver is not enabled.</source>
        <translation>Der Audiotreiber ist nicht aktiviert.</translation>
    </message>
    <message>
        <source>The sound device is in use by another program.</source>
        <translation>Das Audiogerät wird von einem anderen Programm verwendet.</translation>
    </message>
    <message>
        <source>The sound device handle is not valid.</source>
        <translation>Das Handle des Audiogeräts ist ungültig.</translation>
    </message>
    <message>
        <source>No sound driver or device is installed.</source>
        <translation>Es ist kein Audiotreiber und kein Audiogerät installiert.</translation>
    </message>
    <message>
        <source>There is not enough memory for the sound device.</source>
        <translation>Für das Audiogerät ist nicht genug Speicher vorhanden.</translation>
    </message>
    <message>
        <source>The sound device does not support this operation.</source>
        <translation>Das Audiogerät unterstützt diesen Vorgang nicht.</translation>
    </message>
    <message>
        <source>An invalid flag was passed to the sound device.</source>
        <translation>Dem Audiogerät wurde ein ungültiges Flag übergeben.</translation>
    </message>
    <message>
        <source>An invalid parameter was passed to the sound device.</source>
        <translation>Dem Audiogerät wurde ein ungültiger Parameter übergeben.</translation>
    </message>
    <message>
        <source>The sound device does not support this wave format.</source>
        <translation>Das Audiogerät unterstützt dieses Wave-Format nicht.</translation>
    </message>
    <message>
        <source>Buffers are still queued on the sound device.</source>
        <translation>Beim Audiogerät stehen noch Puffer in der Warteschlange.</translation>
    </message>
    <message>
        <source>The wave header was not prepared.</source>
        <translation>Der Wave-Puffer wurde nicht vorbereitet.</translation>
    </message>
    <message>
        <source>The loudness of the recording cannot be measured.</source>
        <translation>Die Lautheit der Aufnahme kann nicht gemessen werden.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>--record needs a number of seconds above 0 and at most %1, not &apos;%2&apos;</source>
        <translation>--record braucht eine Zahl von Sekunden über 0 und höchstens %1, nicht „%2“</translation>
    </message>
    <message>
        <source>%1 is given twice</source>
        <translation>%1 ist doppelt angegeben</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>unbekannte Option %1</translation>
    </message>
    <message>
        <source>unexpected argument &apos;%1&apos;</source>
        <translation>unerwartetes Argument „%1“</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 braucht einen Wert</translation>
    </message>
    <message>
        <source>--discover takes no other option</source>
        <translation>--discover verträgt keine weitere Option</translation>
    </message>
    <message>
        <source>--discover needs an e-mail address</source>
        <translation>--discover braucht eine E-Mail-Adresse</translation>
    </message>
    <message>
        <source>give --flush or --outbox, not both</source>
        <translation>geben Sie --flush oder --outbox an, nicht beides</translation>
    </message>
    <message>
        <source>%1 takes no %2</source>
        <translation>%1 verträgt kein %2</translation>
    </message>
    <message>
        <source>--to is missing</source>
        <translation>--to fehlt</translation>
    </message>
    <message>
        <source>%1 must be one line</source>
        <translation>%1 muss eine einzige Zeile sein</translation>
    </message>
    <message>
        <source>give --text or --text-file, not both</source>
        <translation>geben Sie --text oder --text-file an, nicht beides</translation>
    </message>
    <message>
        <source>give either --wav or --record</source>
        <translation>geben Sie entweder --wav oder --record an</translation>
    </message>
    <message>
        <source>--wav needs a file name</source>
        <translation>--wav braucht einen Dateinamen</translation>
    </message>
    <message>
        <source>--device needs a device name and goes with --record</source>
        <translation>--device braucht einen Gerätenamen und gehört zu --record</translation>
    </message>
    <message>
        <source>--save needs a file name</source>
        <translation>--save braucht einen Dateinamen</translation>
    </message>
    <message>
        <source>Usage: quillet-send --to ADDR [--cc ADDR] [--subject S]
                    [--text T | --text-file F] (--wav FILE | --record SECONDS)
                    [--save FILE.eml] [--no-queue] [--settings FILE]
                    [--device NAME] [--no-level] [--denoise]
       quillet-send --sign-in [--settings FILE] [--to ADDR and the rest]
       quillet-send --discover ADDRESS
       quillet-send (--flush | --outbox) [--settings FILE]
Compresses a voice recording with lame and sends it as a mail the way the
settings file says (SMTP, Direct or MAPI), or saves the mail with --save.
A mail that cannot be sent now for a passing reason waits in the Outbox.

  --to ADDR          recipients (an address list)
  --cc ADDR          copy recipients
  --subject S        the subject
  --text T           the message text
  --text-file F      the message text from file F (&quot;-&quot;: standard input),
                     at most 1 MB (1048576 bytes)
  --wav FILE         send this WAV recording (the file is not changed)
  --record SECONDS   record that long from the capture device of the settings
  --device NAME      record from this ALSA capture device (e.g. default, pulse,
                     plughw:CARD=USB,DEV=0)
  --no-level         send the voice as recorded: no levelling, no trimming
  --denoise          reduce background noise before compressing
  --save FILE.eml    write the mail to FILE.eml instead of sending it
  --no-queue         do not put a mail that cannot be sent now in the Outbox
  --flush            try every mail in the Outbox now
  --outbox           list the mails in the Outbox, one a line
  --settings FILE    settings file (default: quillet.ini beside the program)
  --sign-in          sign in to the OAuth 2.0 service of the settings first:
                     shows an address and a code to enter in any browser, or
                     an address to open on this computer
  --discover ADDRESS print the server settings proposed for ADDRESS as
                     settings lines; status 0 found, 3 not found
  -h, --help         show this text
  --version          show the version

Exit status: 0 sent or saved, 1 usage, 2 recording or encoder,
3 delivery or cancelled (--flush: some refused for good), 4 settings,
75 in the Outbox for later (--flush: some still wait).
</source>
        <translation>Aufruf: quillet-send --to ADR [--cc ADR] [--subject S]
                     [--text T | --text-file D] (--wav DATEI | --record SEKUNDEN)
                     [--save DATEI.eml] [--no-queue] [--settings DATEI]
                     [--device NAME] [--no-level] [--denoise]
        quillet-send --sign-in [--settings DATEI] [--to ADR und der Rest]
        quillet-send --discover ADRESSE
        quillet-send (--flush | --outbox) [--settings DATEI]
Komprimiert eine Sprachaufnahme mit lame und sendet sie als E-Mail, wie es die
Einstellungsdatei sagt (SMTP, Direct oder MAPI), oder speichert die E-Mail mit --save.
Eine E-Mail, die aus einem vorübergehenden Grund jetzt nicht gesendet werden
kann, wartet im Postausgang.

  --to ADR           Empfänger (eine Adressliste)
  --cc ADR           Empfänger einer Kopie
  --subject S        der Betreff
  --text T           der Nachrichtentext
  --text-file D      der Nachrichtentext aus der Datei D (&quot;-&quot;: Standardeingabe),
                     höchstens 1 MB (1048576 Bytes)
  --wav DATEI        diese WAV-Aufnahme senden (die Datei bleibt unverändert)
  --record SEKUNDEN  so lange vom Aufnahmegerät der Einstellungen aufnehmen
  --device NAME      von diesem ALSA-Aufnahmegerät aufnehmen (z. B. default, pulse,
                     plughw:CARD=USB,DEV=0)
  --no-level         die Stimme wie aufgenommen senden: kein Angleichen, kein Kürzen
  --denoise          Hintergrundrauschen vor dem Komprimieren verringern
  --save DATEI.eml   die E-Mail in DATEI.eml schreiben, statt sie zu senden
  --no-queue         eine E-Mail, die jetzt nicht gesendet werden kann, nicht in
                     den Postausgang legen
  --flush            jede E-Mail im Postausgang jetzt versuchen
  --outbox           die E-Mails im Postausgang auflisten, eine pro Zeile
  --settings DATEI   Einstellungsdatei (Vorgabe: quillet.ini neben dem Programm)
  --sign-in          zuerst beim OAuth-2.0-Dienst der Einstellungen anmelden:
                     zeigt eine Adresse und einen Code für einen beliebigen
                     Browser oder eine Adresse zum Öffnen auf diesem Computer
  --discover ADRESSE die für ADRESSE vorgeschlagenen Servereinstellungen als
                     Einstellungszeilen ausgeben; Status 0 gefunden, 3 nicht gefunden
  -h, --help         diesen Text zeigen
  --version          die Version zeigen

Exit-Status: 0 gesendet oder gespeichert, 1 Aufruf, 2 Aufnahme oder Encoder,
3 Zustellung oder abgebrochen (--flush: einige endgültig abgelehnt), 4 Einstellungen,
75 für später im Postausgang (--flush: einige warten noch).
</translation>
    </message>
    <message>
        <source>cannot read the text file %1: %2</source>
        <translation>die Textdatei %1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>the text on standard input is larger than 1 MB (%1 bytes)</source>
        <translation>der Text auf der Standardeingabe ist größer als 1 MB (%1 Bytes)</translation>
    </message>
    <message>
        <source>the text file %1 is larger than 1 MB (%2 bytes)</source>
        <translation>die Textdatei %1 ist größer als 1 MB (%2 Bytes)</translation>
    </message>
    <message>
        <source>--save: cannot write into the folder %1: %2</source>
        <translation>--save: in den Ordner %1 kann nicht geschrieben werden: %2</translation>
    </message>
</context>
<context>
    <name>Encoder</name>
    <message>
        <source>the encoder (lame) could not be started.</source>
        <translation>der Encoder (lame) konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>the encoder (lame) failed with exit code %1.</source>
        <translation>der Encoder (lame) ist mit dem Exit-Code %1 gescheitert.</translation>
    </message>
    <message>
        <source>the encoder (lame) left no file %1.</source>
        <translation>der Encoder (lame) hat keine Datei %1 hinterlassen.</translation>
    </message>
</context>
<context>
    <name>ErrorHandler</name>
    <message>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
</context>
<context>
    <name>Exception</name>
    <message>
        <source>Cannot create file &quot;%1&quot;. %2</source>
        <translation>Die Datei „%1“ kann nicht angelegt werden. %2</translation>
    </message>
    <message>
        <source>Cannot open file &quot;%1&quot;. %2</source>
        <translation>Die Datei „%1“ kann nicht geöffnet werden. %2</translation>
    </message>
</context>
<context>
    <name>Fields</name>
    <message>
        <source>To field</source>
        <translation>Das Feld „An“</translation>
    </message>
    <message>
        <source>Cc field</source>
        <translation>Das Feld „Cc“</translation>
    </message>
    <message>
        <source>subject</source>
        <translation>Der Betreff</translation>
    </message>
    <message>
        <source>name in Options</source>
        <translation>Der Name in den Optionen</translation>
    </message>
</context>
<context>
    <name>FormMain</name>
    <message>
        <source>Your voice e-mail has successfully sent out!</source>
        <translation>Ihre Sprach-E-Mail wurde erfolgreich versendet!</translation>
    </message>
</context>
<context>
    <name>Keyring</name>
    <message>
        <source>Quillet SMTP password for %1 at %2</source>
        <translation>Quillet-SMTP-Passwort für %1 bei %2</translation>
    </message>
    <message>
        <source>Quillet sign-in for %1 at %2</source>
        <translation>Quillet-Anmeldung für %1 bei %2</translation>
    </message>
</context>
<context>
    <name>Mapi</name>
    <message>
        <source>MAPI services are not available on this system</source>
        <translation>MAPI-Dienste sind auf diesem System nicht verfügbar</translation>
    </message>
    <message>
        <source>GetProcAddress for MAPI.DLL function(s) failed</source>
        <translation>GetProcAddress für MAPI.DLL-Funktion(en) ist gescheitert</translation>
    </message>
</context>
<context>
    <name>NetConnectRace</name>
    <message>
        <source>Connect timed out.</source>
        <translation>Zeitüberschreitung beim Verbindungsaufbau.</translation>
    </message>
    <message>
        <source>Could not connect to %1 at any of its addresses:</source>
        <translation>Keine Verbindung zu %1 unter einer seiner Adressen:</translation>
    </message>
    <message>
        <source>not tried before the time-out.</source>
        <translation>vor Ablauf der Zeit nicht versucht.</translation>
    </message>
</context>
<context>
    <name>NetDNSResolver</name>
    <message>
        <source>Invalid domain name &quot;%1&quot;: %2.</source>
        <translation>Ungültiger Domainname „%1“: %2.</translation>
    </message>
    <message>
        <source>empty label</source>
        <translation>leeres Label</translation>
    </message>
    <message>
        <source>label longer than 63 bytes</source>
        <translation>Label länger als 63 Bytes</translation>
    </message>
    <message>
        <source>longer than 253 characters</source>
        <translation>länger als 253 Zeichen</translation>
    </message>
    <message>
        <source>Invalid Query Count %1</source>
        <translation>Ungültige Anzahl der Anfragen %1</translation>
    </message>
    <message>
        <source>Invalid Header Id %1</source>
        <translation>Ungültige Kopf-ID %1</translation>
    </message>
    <message>
        <source>Received Packet is too small. Less than 12 bytes %1</source>
        <translation>Das empfangene Paket ist zu klein. Weniger als 12 Bytes %1</translation>
    </message>
    <message>
        <source>Reply over TCP answers another question than the one asked</source>
        <translation>Die Antwort über TCP beantwortet eine andere als die gestellte Frage</translation>
    </message>
    <message>
        <source>DNS Server Reports Query Format Error</source>
        <translation>Der DNS-Server meldet einen Formatfehler der Anfrage</translation>
    </message>
    <message>
        <source>DNS Server Reports Query Name Error</source>
        <translation>Der DNS-Server meldet einen Namensfehler der Anfrage</translation>
    </message>
    <message>
        <source>DNS Server Reports Query Not Implemented Error</source>
        <translation>Der DNS-Server meldet, die Anfrage sei nicht implementiert</translation>
    </message>
    <message>
        <source>DNS Server Reports Query Refused Error</source>
        <translation>Der DNS-Server meldet, die Anfrage sei abgelehnt</translation>
    </message>
    <message>
        <source>Server Returned Unknown Error</source>
        <translation>Der Server hat einen unbekannten Fehler gemeldet</translation>
    </message>
    <message>
        <source>Response cut short: %1 at offset %2 needs %3 bytes, %4 received</source>
        <translation>Antwort zu kurz: %1 an Position %2 braucht %3 Bytes, %4 empfangen</translation>
    </message>
    <message>
        <source>Name compression pointers loop</source>
        <translation>Die Zeiger der Namenskomprimierung bilden eine Schleife</translation>
    </message>
    <message>
        <source>Name pointer to offset %1 lies outside the %2 bytes</source>
        <translation>Der Namenszeiger auf Position %1 liegt außerhalb der %2 Bytes</translation>
    </message>
    <message>
        <source>Invalid label type %1 in a domain name</source>
        <translation>Ungültiger Label-Typ %1 in einem Domainnamen</translation>
    </message>
    <message>
        <source>Invalid Packet Size %1</source>
        <translation>Ungültige Paketgröße %1</translation>
    </message>
    <message>
        <source>Domain name longer than 255 bytes</source>
        <translation>Domainname länger als 255 Bytes</translation>
    </message>
    <message>
        <source>Reply over TCP cut short: the connection closed after %1 of %2 bytes</source>
        <translation>Antwort über TCP zu kurz: Die Verbindung wurde nach %1 von %2 Bytes geschlossen</translation>
    </message>
    <message>
        <source>DNS message too long for TCP</source>
        <translation>DNS-Nachricht zu lang für TCP</translation>
    </message>
    <message>
        <source>TimedOut</source>
        <translation>Zeitüberschreitung</translation>
    </message>
    <message>
        <source>DNS Server Reports Query Server Error</source>
        <translation>Der DNS-Server meldet einen Serverfehler</translation>
    </message>
</context>
<context>
    <name>NetDeliveryException</name>
    <message>
        <source>No network component exists.</source>
        <translation>Es gibt keine Netzwerkkomponente.</translation>
    </message>
    <message>
        <source>Package Size Too Big.</source>
        <translation>Paket zu groß.</translation>
    </message>
    <message>
        <source>Not all bytes sent.</source>
        <translation>Nicht alle Bytes gesendet.</translation>
    </message>
    <message>
        <source>Winsock Initialization Error.</source>
        <translation>Fehler beim Initialisieren des Netzwerks.</translation>
    </message>
    <message>
        <source>Cannot allocate socket.</source>
        <translation>Socket kann nicht angelegt werden.</translation>
    </message>
    <message>
        <source>Could not bind socket. Address and port are already in use.</source>
        <translation>Socket konnte nicht gebunden werden. Adresse und Port werden bereits verwendet.</translation>
    </message>
    <message>
        <source>Connect timed out.</source>
        <translation>Zeitüberschreitung beim Verbindungsaufbau.</translation>
    </message>
    <message>
        <source>Connection Closed Gracefully.</source>
        <translation>Verbindung ordnungsgemäß geschlossen.</translation>
    </message>
    <message>
        <source>Not enough data in buffer.</source>
        <translation>Nicht genug Daten im Puffer.</translation>
    </message>
    <message>
        <source>Disconnected.</source>
        <translation>Getrennt.</translation>
    </message>
    <message>
        <source>Not Connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>Already connected.</source>
        <translation>Bereits verbunden.</translation>
    </message>
    <message>
        <source>Read Timeout</source>
        <translation>Zeitüberschreitung beim Lesen</translation>
    </message>
    <message>
        <source>Max line length exceeded.</source>
        <translation>Maximale Zeilenlänge überschritten.</translation>
    </message>
    <message>
        <source>Server reply too long.</source>
        <translation>Serverantwort zu lang.</translation>
    </message>
    <message>
        <source>Line break inside a command line refused.</source>
        <translation>Zeilenumbruch innerhalb einer Befehlszeile abgelehnt.</translation>
    </message>
</context>
<context>
    <name>NetIOHandlerTLS</name>
    <message>
        <source>unknown error</source>
        <translation>unbekannter Fehler</translation>
    </message>
    <message>
        <source>expired</source>
        <translation>abgelaufen</translation>
    </message>
    <message>
        <source>not yet valid</source>
        <translation>noch nicht gültig</translation>
    </message>
    <message>
        <source>name mismatch (the certificate is not valid for %1)</source>
        <translation>falscher Name (das Zertifikat gilt nicht für %1)</translation>
    </message>
    <message>
        <source>unknown issuer</source>
        <translation>unbekannter Aussteller</translation>
    </message>
    <message>
        <source>self-signed</source>
        <translation>selbstsigniert</translation>
    </message>
    <message>
        <source>Cannot set up TLS: %1.</source>
        <translation>TLS kann nicht eingerichtet werden: %1.</translation>
    </message>
    <message>
        <source>Cannot load the system&apos;s trusted certificates: %1.</source>
        <translation>Die vertrauenswürdigen Zertifikate des Systems können nicht geladen werden: %1.</translation>
    </message>
    <message>
        <source>Cannot load the trusted certificates of %1: %2.</source>
        <translation>Die vertrauenswürdigen Zertifikate aus %1 können nicht geladen werden: %2.</translation>
    </message>
    <message>
        <source>Certificate of %1 rejected: %2.</source>
        <translation>Zertifikat von %1 abgelehnt: %2.</translation>
    </message>
    <message>
        <source>TLS is already active on the connection to %1.</source>
        <translation>TLS ist auf der Verbindung zu %1 bereits aktiv.</translation>
    </message>
    <message>
        <source>Cannot set up TLS for %1: %2.</source>
        <translation>TLS für %1 kann nicht eingerichtet werden: %2.</translation>
    </message>
    <message>
        <source>TLS handshake with %1 failed: %2</source>
        <translation>TLS-Handshake mit %1 gescheitert: %2</translation>
    </message>
    <message>
        <source>TLS handshake with %1 timed out.</source>
        <translation>Zeitüberschreitung beim TLS-Handshake mit %1.</translation>
    </message>
    <message>
        <source>the server closed the connection.</source>
        <translation>der Server hat die Verbindung geschlossen.</translation>
    </message>
    <message>
        <source>TLS handshake with %1 failed: %2.</source>
        <translation>TLS-Handshake mit %1 gescheitert: %2.</translation>
    </message>
    <message>
        <source>TLS error on the connection to %1: %2.</source>
        <translation>TLS-Fehler auf der Verbindung zu %1: %2.</translation>
    </message>
    <message>
        <source>it is a folder, not a file</source>
        <translation>es ist ein Ordner, keine Datei</translation>
    </message>
    <message>
        <source>the file does not exist</source>
        <translation>die Datei existiert nicht</translation>
    </message>
    <message>
        <source>Quillet may not read it (permission denied)</source>
        <translation>Quillet darf sie nicht lesen (Zugriff verweigert)</translation>
    </message>
    <message>
        <source>a certificate in it is damaged</source>
        <translation>ein Zertifikat darin ist beschädigt</translation>
    </message>
    <message>
        <source>it holds no certificate in PEM form</source>
        <translation>sie enthält kein Zertifikat im PEM-Format</translation>
    </message>
</context>
<context>
    <name>NetMessage</name>
    <message>
        <source>Line break or quote in attachment file name &quot;%1&quot;.</source>
        <translation>Zeilenumbruch oder Anführungszeichen im Dateinamen des Anhangs „%1“.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid e-mail address.</source>
        <translation>„%1“ ist keine gültige E-Mail-Adresse.</translation>
    </message>
    <message>
        <source>The %1 contains a control character.</source>
        <translation>%1 enthält ein Steuerzeichen.</translation>
    </message>
    <message>
        <source>Your e-mail address &apos;%1&apos; in Options is not a valid e-mail address.</source>
        <translation>Ihre E-Mail-Adresse „%1“ in den Optionen ist keine gültige E-Mail-Adresse.</translation>
    </message>
    <message>
        <source>Line break in an address of header field &quot;%1&quot;.</source>
        <translation>Zeilenumbruch in einer Adresse des Kopffelds „%1“.</translation>
    </message>
    <message>
        <source>Line break in header field &quot;%1&quot;.</source>
        <translation>Zeilenumbruch im Kopffeld „%1“.</translation>
    </message>
    <message>
        <source>Line break in %1 line &quot;%2&quot;.</source>
        <translation>Zeilenumbruch in der Zeile (%1) „%2“.</translation>
    </message>
    <message>
        <source>Empty %1 line.</source>
        <translation>Leere Zeile (%1).</translation>
    </message>
</context>
<context>
    <name>NetSMTP</name>
    <message>
        <source>The mail (%1 MB) is larger than %2 accepts (%3 MB).</source>
        <translation>Die E-Mail (%1 MB) ist größer, als %2 annimmt (%3 MB).</translation>
    </message>
    <message>
        <source>The server %1 does not offer STARTTLS; nothing was sent.</source>
        <translation>Der Server %1 bietet kein STARTTLS an; es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>TLS is not available on the connection to %1.</source>
        <translation>Auf der Verbindung zu %1 ist kein TLS verfügbar.</translation>
    </message>
    <message>
        <source>The server %1 does not offer STARTTLS; the password was not sent. Choose Security &quot;None&quot; in Options to send it unencrypted.</source>
        <translation>Der Server %1 bietet kein STARTTLS an; das Passwort wurde nicht gesendet. Wählen Sie in den Optionen die Sicherheit „Keine“, um es unverschlüsselt zu senden.</translation>
    </message>
    <message>
        <source>The connection to %1 is not encrypted; the password was not sent.</source>
        <translation>Die Verbindung zu %1 ist nicht verschlüsselt; das Passwort wurde nicht gesendet.</translation>
    </message>
    <message>
        <source>The server %1 sent data ahead of the TLS handshake; the connection was closed.</source>
        <translation>Der Server %1 hat vor dem TLS-Handshake Daten gesendet; die Verbindung wurde geschlossen.</translation>
    </message>
    <message>
        <source>The server %1 offers no OAuth 2.0 sign-in (OAUTHBEARER or XOAUTH2); nothing was sent.</source>
        <translation>Der Server %1 bietet keine Anmeldung mit OAuth 2.0 an (OAUTHBEARER oder XOAUTH2); es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>The server %1 refused the sign-in token (%2).</source>
        <translation>Der Server %1 hat das Anmelde-Token abgelehnt (%2).</translation>
    </message>
    <message>
        <source>The server %1 cannot take the address &apos;%2&apos; (it does not offer SMTPUTF8).</source>
        <translation>Der Server %1 kann die Adresse „%2“ nicht annehmen (er bietet kein SMTPUTF8 an).</translation>
    </message>
    <message>
        <source>The domain of &apos;%1&apos; is not a valid international domain name.</source>
        <translation>Die Domain von „%1“ ist kein gültiger internationaler Domainname.</translation>
    </message>
</context>
<context>
    <name>NetSocketError</name>
    <message>
        <source>Interrupted system call.</source>
        <translation>Systemaufruf unterbrochen.</translation>
    </message>
    <message>
        <source>Bad file number.</source>
        <translation>Ungültige Dateinummer.</translation>
    </message>
    <message>
        <source>Access denied.</source>
        <translation>Zugriff verweigert.</translation>
    </message>
    <message>
        <source>Bad address.</source>
        <translation>Ungültige Adresse.</translation>
    </message>
    <message>
        <source>Invalid argument.</source>
        <translation>Ungültiges Argument.</translation>
    </message>
    <message>
        <source>Too many open files.</source>
        <translation>Zu viele offene Dateien.</translation>
    </message>
    <message>
        <source>Operation would block. </source>
        <translation>Der Vorgang würde blockieren. </translation>
    </message>
    <message>
        <source>Operation now in progress.</source>
        <translation>Der Vorgang ist jetzt im Gange.</translation>
    </message>
    <message>
        <source>Operation already in progress.</source>
        <translation>Der Vorgang ist bereits im Gange.</translation>
    </message>
    <message>
        <source>Socket operation on non-socket.</source>
        <translation>Socket-Vorgang auf einem Nicht-Socket.</translation>
    </message>
    <message>
        <source>Destination address required.</source>
        <translation>Zieladresse erforderlich.</translation>
    </message>
    <message>
        <source>Message too long.</source>
        <translation>Nachricht zu lang.</translation>
    </message>
    <message>
        <source>Protocol wrong type for socket.</source>
        <translation>Falscher Protokolltyp für den Socket.</translation>
    </message>
    <message>
        <source>Bad protocol option.</source>
        <translation>Ungültige Protokolloption.</translation>
    </message>
    <message>
        <source>Protocol not supported.</source>
        <translation>Protokoll nicht unterstützt.</translation>
    </message>
    <message>
        <source>Socket type not supported.</source>
        <translation>Socket-Typ nicht unterstützt.</translation>
    </message>
    <message>
        <source>Operation not supported on socket.</source>
        <translation>Vorgang auf dem Socket nicht unterstützt.</translation>
    </message>
    <message>
        <source>Protocol family not supported.</source>
        <translation>Protokollfamilie nicht unterstützt.</translation>
    </message>
    <message>
        <source>Address family not supported by protocol family.</source>
        <translation>Adressfamilie von der Protokollfamilie nicht unterstützt.</translation>
    </message>
    <message>
        <source>Address already in use.</source>
        <translation>Adresse wird bereits verwendet.</translation>
    </message>
    <message>
        <source>Cannot assign requested address.</source>
        <translation>Die angeforderte Adresse kann nicht zugewiesen werden.</translation>
    </message>
    <message>
        <source>Network is down.</source>
        <translation>Das Netzwerk ist ausgefallen.</translation>
    </message>
    <message>
        <source>Network is unreachable.</source>
        <translation>Das Netzwerk ist nicht erreichbar.</translation>
    </message>
    <message>
        <source>Net dropped connection or reset.</source>
        <translation>Das Netz hat die Verbindung verworfen oder zurückgesetzt.</translation>
    </message>
    <message>
        <source>Software caused connection abort.</source>
        <translation>Verbindungsabbruch durch Software.</translation>
    </message>
    <message>
        <source>Connection reset by peer.</source>
        <translation>Verbindung von der Gegenseite zurückgesetzt.</translation>
    </message>
    <message>
        <source>No buffer space available.</source>
        <translation>Kein Pufferspeicher verfügbar.</translation>
    </message>
    <message>
        <source>Socket is already connected.</source>
        <translation>Der Socket ist bereits verbunden.</translation>
    </message>
    <message>
        <source>Socket is not connected.</source>
        <translation>Der Socket ist nicht verbunden.</translation>
    </message>
    <message>
        <source>Cannot send or receive after socket is closed.</source>
        <translation>Nach dem Schließen des Sockets kann nicht gesendet oder empfangen werden.</translation>
    </message>
    <message>
        <source>Too many references, cannot splice.</source>
        <translation>Zu viele Verweise, Verbinden nicht möglich.</translation>
    </message>
    <message>
        <source>Connection timed out.</source>
        <translation>Zeitüberschreitung der Verbindung.</translation>
    </message>
    <message>
        <source>Connection refused.</source>
        <translation>Verbindung abgelehnt.</translation>
    </message>
    <message>
        <source>Too many levels of symbolic links.</source>
        <translation>Zu viele Ebenen symbolischer Links.</translation>
    </message>
    <message>
        <source>File name too long.</source>
        <translation>Dateiname zu lang.</translation>
    </message>
    <message>
        <source>Host is down.</source>
        <translation>Der Host ist ausgefallen.</translation>
    </message>
    <message>
        <source>No route to host.</source>
        <translation>Keine Route zum Host.</translation>
    </message>
    <message>
        <source>Directory not empty</source>
        <translation>Ordner nicht leer</translation>
    </message>
    <message>
        <source>Host not found.</source>
        <translation>Host nicht gefunden.</translation>
    </message>
    <message>
        <source>Socket Error # %1</source>
        <translation>Socket-Fehler Nr. %1</translation>
    </message>
</context>
<context>
    <name>OAuth</name>
    <message>
        <source>The sign-in code ran out before the sign-in was completed; run --sign-in again.</source>
        <translation>Der Anmeldecode ist abgelaufen, bevor die Anmeldung abgeschlossen war; rufen Sie --sign-in erneut auf.</translation>
    </message>
    <message>
        <source>The sign-in was refused (access_denied).</source>
        <translation>Die Anmeldung wurde abgelehnt (access_denied).</translation>
    </message>
    <message>
        <source>The sign-in server %1 ended the sign-in: %2</source>
        <translation>Der Anmeldeserver %1 hat die Anmeldung beendet: %2</translation>
    </message>
    <message>
        <source>The sign-in server %1 gave no refresh token, so Quillet could not sign in again later.</source>
        <translation>Der Anmeldeserver %1 hat kein Refresh-Token geliefert, daher könnte sich Quillet später nicht erneut anmelden.</translation>
    </message>
    <message>
        <source>The sign-in was not completed in the browser in time.</source>
        <translation>Die Anmeldung wurde im Browser nicht rechtzeitig abgeschlossen.</translation>
    </message>
    <message>
        <source>Waiting for the sign-in in the browser...</source>
        <translation>Warte auf die Anmeldung im Browser...</translation>
    </message>
    <message>
        <source>No port on 127.0.0.1 is free for the sign-in: %1</source>
        <translation>Auf 127.0.0.1 ist kein Port für die Anmeldung frei: %1</translation>
    </message>
    <message>
        <source>This is no request Quillet understands.</source>
        <translation>Diese Anfrage versteht Quillet nicht.</translation>
    </message>
    <message>
        <source>Nothing here.</source>
        <translation>Hier gibt es nichts.</translation>
    </message>
    <message>
        <source>Quillet was not signed in. You may close this page.</source>
        <translation>Quillet wurde nicht angemeldet. Sie können diese Seite schließen.</translation>
    </message>
    <message>
        <source>The sign-in was refused: %1.</source>
        <translation>Die Anmeldung wurde abgelehnt: %1.</translation>
    </message>
    <message>
        <source>Quillet is signed in. You may close this page.</source>
        <translation>Quillet ist angemeldet. Sie können diese Seite schließen.</translation>
    </message>
    <message>
        <source>Getting the tokens...</source>
        <translation>Tokens werden abgeholt...</translation>
    </message>
    <message>
        <source>The sign-in server %1 refused the code: %2</source>
        <translation>Der Anmeldeserver %1 hat den Code abgelehnt: %2</translation>
    </message>
    <message>
        <source>Signed in as %1.</source>
        <translation>Angemeldet als %1.</translation>
    </message>
    <message>
        <source> The sign-in is kept in the desktop keyring.</source>
        <translation> Die Anmeldung wird im Schlüsselbund des Desktops aufbewahrt.</translation>
    </message>
    <message>
        <source> No keyring is available: the sign-in lasts only while Quillet runs.</source>
        <translation> Kein Schlüsselbund verfügbar: Die Anmeldung gilt nur, solange Quillet läuft.</translation>
    </message>
    <message>
        <source> Sign in again: &quot;Sign in...&quot; on the Email Account page of Options, or quillet-send --sign-in.</source>
        <translation> Melden Sie sich erneut an: „Anmelden…“ auf der Seite „E-Mail-Konto“ der Optionen, oder quillet-send --sign-in.</translation>
    </message>
    <message>
        <source>Quillet is not signed in as %1 at %2.</source>
        <translation>Quillet ist nicht als %1 bei %2 angemeldet.</translation>
    </message>
    <message>
        <source>The sign-in of %1 is no longer valid (%2).</source>
        <translation>Die Anmeldung von %1 ist nicht mehr gültig (%2).</translation>
    </message>
    <message>
        <source>The sign-in server %1 refused a new access token: %2</source>
        <translation>Der Anmeldeserver %1 hat ein neues Zugriffstoken verweigert: %2</translation>
    </message>
    <message>
        <source>The OAuth 2.0 sign-in needs your own client id (OAuthClientId in section [SMTP]); the help page tells how to get one.</source>
        <translation>Die Anmeldung mit OAuth 2.0 braucht Ihre eigene Client-ID (OAuthClientId im Abschnitt [SMTP]); die Hilfeseite erklärt, wie Sie eine bekommen.</translation>
    </message>
    <message>
        <source>The Custom sign-in service needs OAuthTokenUrl in section [SMTP].</source>
        <translation>Der eigene Anmeldedienst braucht OAuthTokenUrl im Abschnitt [SMTP].</translation>
    </message>
    <message>
        <source>The Custom sign-in service needs OAuthAuthorizeUrl in section [SMTP].</source>
        <translation>Der eigene Anmeldedienst braucht OAuthAuthorizeUrl im Abschnitt [SMTP].</translation>
    </message>
    <message>
        <source>This sign-in service offers no sign-in by code on another device; sign in through the browser instead.</source>
        <translation>Dieser Anmeldedienst bietet keine Anmeldung per Code auf einem anderen Gerät an; melden Sie sich stattdessen über den Browser an.</translation>
    </message>
    <message>
        <source>The sign-in server %1 refused to start a sign-in: %2</source>
        <translation>Der Anmeldeserver %1 hat den Beginn einer Anmeldung abgelehnt: %2</translation>
    </message>
    <message>
        <source>The sign-in server %1 sent no sign-in code (HTTP %2).</source>
        <translation>Der Anmeldeserver %1 hat keinen Anmeldecode gesendet (HTTP %2).</translation>
    </message>
    <message>
        <source>The sign-in server %1 sent no answer Quillet can read (HTTP %2).</source>
        <translation>Der Anmeldeserver %1 hat keine Antwort gesendet, die Quillet lesen kann (HTTP %2).</translation>
    </message>
    <message>
        <source>The sign-in server %1 sent no access token.</source>
        <translation>Der Anmeldeserver %1 hat kein Zugriffstoken gesendet.</translation>
    </message>
    <message>
        <source>it wrote no reason</source>
        <translation>es hat keinen Grund ausgegeben</translation>
    </message>
    <message>
        <source>%1 seconds</source>
        <translation>%1 Sekunden</translation>
    </message>
    <message>
        <source>The token command cannot be used: %1.</source>
        <translation>Der Token-Befehl ist nicht verwendbar: %1.</translation>
    </message>
    <message>
        <source>The token command is empty.</source>
        <translation>Der Token-Befehl ist leer.</translation>
    </message>
    <message>
        <source>The token command &apos;%1&apos; could not be started.</source>
        <translation>Der Token-Befehl „%1“ konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>The token command gave no token within %1.</source>
        <translation>Der Token-Befehl hat innerhalb von %1 kein Token geliefert.</translation>
    </message>
    <message>
        <source>The token command failed with exit status %1: %2</source>
        <translation>Der Token-Befehl ist mit dem Exit-Status %1 gescheitert: %2</translation>
    </message>
    <message>
        <source>The token command printed no token: %1</source>
        <translation>Der Token-Befehl hat kein Token ausgegeben: %1</translation>
    </message>
    <message>
        <source>The sign-in was cancelled.</source>
        <translation>Die Anmeldung wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The sign-in address &apos;%1&apos; is no https address; Quillet sends nothing there.</source>
        <translation>Die Anmeldeadresse „%1“ ist keine https-Adresse; Quillet sendet dorthin nichts.</translation>
    </message>
    <message>
        <source>The CA certificates file %1 holds no certificate.</source>
        <translation>Die CA-Zertifikatsdatei %1 enthält kein Zertifikat.</translation>
    </message>
    <message>
        <source>The sign-in server %1 sent more than 1 MB.</source>
        <translation>Der Anmeldeserver %1 hat mehr als 1 MB gesendet.</translation>
    </message>
    <message>
        <source>Certificate of %1 rejected: %2.</source>
        <translation>Zertifikat von %1 abgelehnt: %2.</translation>
    </message>
    <message>
        <source>The sign-in server %1 did not answer in time.</source>
        <translation>Der Anmeldeserver %1 hat nicht rechtzeitig geantwortet.</translation>
    </message>
    <message>
        <source>Could not reach the sign-in server %1: %2</source>
        <translation>Der Anmeldeserver %1 ist nicht erreichbar: %2</translation>
    </message>
</context>
<context>
    <name>Outbox</name>
    <message>
        <source>%1 day</source>
        <translation>%1 Tag</translation>
    </message>
    <message>
        <source>%1 days</source>
        <translation>%1 Tagen</translation>
    </message>
    <message>
        <source>%1 hour</source>
        <translation>%1 Stunde</translation>
    </message>
    <message>
        <source>%1 hours</source>
        <translation>%1 Stunden</translation>
    </message>
    <message>
        <source>%1 second</source>
        <translation>%1 Sekunde</translation>
    </message>
    <message>
        <source>%1 seconds</source>
        <translation>%1 Sekunden</translation>
    </message>
    <message>
        <source>There is no mail host to try.</source>
        <translation>Es gibt keinen Mailserver, der versucht werden kann.</translation>
    </message>
    <message>
        <source>Not delivered within %1; the last try said: %2</source>
        <translation>Innerhalb von %1 nicht zugestellt; der letzte Versuch ergab: %2</translation>
    </message>
</context>
<context>
    <name>OutboxEnvelope</name>
    <message>
        <source>the envelope is larger than %1 bytes</source>
        <translation>der Umschlag ist größer als %1 Bytes</translation>
    </message>
    <message>
        <source>the envelope&apos;s last line is cut short</source>
        <translation>die letzte Zeile des Umschlags ist abgeschnitten</translation>
    </message>
    <message>
        <source>not a Quillet outbox envelope</source>
        <translation>kein Umschlag aus dem Postausgang von Quillet</translation>
    </message>
    <message>
        <source>a line without &quot;Key: value&quot;</source>
        <translation>eine Zeile ohne „Schlüssel: Wert“</translation>
    </message>
    <message>
        <source>a control character in %1</source>
        <translation>ein Steuerzeichen in %1</translation>
    </message>
    <message>
        <source>an empty Recipient</source>
        <translation>ein leerer Recipient</translation>
    </message>
    <message>
        <source>more than %1 recipients</source>
        <translation>mehr als %1 Empfänger</translation>
    </message>
    <message>
        <source>%1 is given twice</source>
        <translation>%1 ist doppelt angegeben</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is no way of sending</source>
        <translation>„%1“ ist keine Versandart</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid %2</source>
        <translation>„%1“ ist kein gültiger Wert für %2</translation>
    </message>
    <message>
        <source>the envelope is empty</source>
        <translation>der Umschlag ist leer</translation>
    </message>
    <message>
        <source>%1 is missing</source>
        <translation>%1 fehlt</translation>
    </message>
    <message>
        <source>no Recipient</source>
        <translation>kein Recipient</translation>
    </message>
</context>
<context>
    <name>Profile</name>
    <message>
        <source>The setting %1 in section %2 cannot hold a line break.</source>
        <translation>Die Einstellung %1 im Abschnitt %2 darf keinen Zeilenumbruch enthalten.</translation>
    </message>
</context>
<context>
    <name>ProviderTable</name>
    <message>
        <source>OAuth 2.0 with your Google client id (or an app password)</source>
        <translation>OAuth 2.0 mit Ihrer Google-Client-ID (oder einem App-Passwort)</translation>
    </message>
    <message>
        <source>OAuth 2.0 with your Microsoft Entra client id</source>
        <translation>OAuth 2.0 mit Ihrer Microsoft-Entra-Client-ID</translation>
    </message>
    <message>
        <source>OAuth 2.0 with your organisation&apos;s Microsoft Entra client id</source>
        <translation>OAuth 2.0 mit der Microsoft-Entra-Client-ID Ihrer Organisation</translation>
    </message>
    <message>
        <source>an app password (Yahoo account security page)</source>
        <translation>einem App-Passwort (Seite „Kontosicherheit“ bei Yahoo)</translation>
    </message>
    <message>
        <source>an app-specific password (Apple Account page)</source>
        <translation>einem app-spezifischen Passwort (Seite des Apple Accounts)</translation>
    </message>
    <message>
        <source>an app password (Fastmail settings, Privacy &amp; Security)</source>
        <translation>einem App-Passwort (Fastmail-Einstellungen, Datenschutz und Sicherheit)</translation>
    </message>
    <message>
        <source>your password, once POP3/IMAP access is switched on in GMX&apos;s settings</source>
        <translation>Ihrem Passwort, sobald der POP3/IMAP-Zugriff in den Einstellungen von GMX eingeschaltet ist</translation>
    </message>
    <message>
        <source>your password, once POP3/IMAP access is switched on in WEB.DE&apos;s settings</source>
        <translation>Ihrem Passwort, sobald der POP3/IMAP-Zugriff in den Einstellungen von WEB.DE eingeschaltet ist</translation>
    </message>
    <message>
        <source>your password (or an app password)</source>
        <translation>Ihrem Passwort (oder einem App-Passwort)</translation>
    </message>
    <message>
        <source>the password Proton Mail Bridge shows (the Bridge must run; trust its certificate once)</source>
        <translation>dem Passwort, das Proton Mail Bridge anzeigt (die Bridge muss laufen; vertrauen Sie einmal ihrem Zertifikat)</translation>
    </message>
</context>
<context>
    <name>SendSettings</name>
    <message>
        <source>&apos;%1&apos; is not a valid %2</source>
        <translation>„%1“ ist keine gültige Angabe für %2</translation>
    </message>
    <message>
        <source>%1 (%2); the default %3 is used instead.</source>
        <translation>%1 (%2); stattdessen wird der Standardwert %3 verwendet.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not 1 or 0</source>
        <translation>„%1“ ist nicht 1 oder 0</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid sample rate</source>
        <translation>„%1“ ist keine gültige Abtastrate</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not one of %2</source>
        <translation>„%1“ ist keiner der Werte %2</translation>
    </message>
    <message>
        <source>%1 (%2); %3 is used instead.</source>
        <translation>%1 (%2); stattdessen wird %3 verwendet.</translation>
    </message>
    <message>
        <source>key %1 in section [%2] of %3</source>
        <translation>Schlüssel %1 im Abschnitt [%2] von %3</translation>
    </message>
    <message>
        <source>Unable to write to %1</source>
        <translation>%1 kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>port number</source>
        <translation>Portnummer</translation>
    </message>
    <message>
        <source>time-out</source>
        <translation>Zeitlimit</translation>
    </message>
</context>
<context>
    <name>SendWorkflow</name>
    <message>
        <source>Sending, please wait...</source>
        <translation>Senden, bitte warten...</translation>
    </message>
    <message>
        <source>Compressing, please wait...</source>
        <translation>Komprimieren, bitte warten...</translation>
    </message>
    <message>
        <source>Can&apos;t send the mail by your default email client, please check your email account settings.</source>
        <translation>Die E-Mail kann nicht mit Ihrem Standard-E-Mail-Programm gesendet werden, bitte prüfen Sie die Einstellungen Ihres E-Mail-Kontos.</translation>
    </message>
    <message>
        <source>Signing in...</source>
        <translation>Anmelden...</translation>
    </message>
    <message>
        <source>The voice e-mail did not reach every recipient domain.</source>
        <translation>Die Sprach-E-Mail hat nicht jede Empfängerdomain erreicht.</translation>
    </message>
    <message>
        <source>No domain accepted it.</source>
        <translation>Keine Domain hat sie angenommen.</translation>
    </message>
    <message>
        <source>Delivered to: %1.</source>
        <translation>Zugestellt an: %1.</translation>
    </message>
    <message>
        <source>The voice e-mail could not be sent now (%1)</source>
        <translation>Die Sprach-E-Mail konnte jetzt nicht gesendet werden (%1)</translation>
    </message>
    <message>
        <source>, and it could not be put in the Outbox: %1</source>
        <translation>, und sie konnte nicht in den Postausgang gelegt werden: %1</translation>
    </message>
    <message>
        <source>. It is in the Outbox and will be sent again at %1.</source>
        <translation>. Sie liegt im Postausgang und wird um %1 erneut gesendet.</translation>
    </message>
    <message>
        <source>Error occured!</source>
        <translation>Ein Fehler ist aufgetreten!</translation>
    </message>
    <message>
        <source>Error resolving domain: %1 is not a valid international domain name.</source>
        <translation>Fehler beim Auflösen der Domain: %1 ist kein gültiger internationaler Domainname.</translation>
    </message>
    <message>
        <source>Error resolving domain: %1</source>
        <translation>Fehler beim Auflösen der Domain: %1</translation>
    </message>
    <message>
        <source>The domain %1 does not accept mail (null MX).</source>
        <translation>Die Domain %1 nimmt keine E-Mail an (Null-MX).</translation>
    </message>
    <message>
        <source>The domain %1 names no usable mail host.</source>
        <translation>Die Domain %1 nennt keinen verwendbaren Mailserver.</translation>
    </message>
    <message>
        <source>There is no response from the DNS server !</source>
        <translation>Der DNS-Server antwortet nicht!</translation>
    </message>
    <message>
        <source>Connecting %1...</source>
        <translation>Verbinde mit %1...</translation>
    </message>
    <message>
        <source>Sending by %1...</source>
        <translation>Senden über %1...</translation>
    </message>
    <message>
        <source>Disconnecting %1 ...</source>
        <translation>Trenne von %1 ...</translation>
    </message>
    <message>
        <source>Sending cancelled.</source>
        <translation>Senden abgebrochen.</translation>
    </message>
</context>
<context>
    <name>ShellWords</name>
    <message>
        <source>it ends in a lone backslash</source>
        <translation>er endet mit einem einzelnen Backslash</translation>
    </message>
    <message>
        <source>a single quote is not closed</source>
        <translation>ein einfaches Anführungszeichen ist nicht geschlossen</translation>
    </message>
    <message>
        <source>a double quote is not closed</source>
        <translation>ein doppeltes Anführungszeichen ist nicht geschlossen</translation>
    </message>
</context>
<context>
    <name>Stream</name>
    <message>
        <source>Stream read error</source>
        <translation>Lesefehler im Datenstrom</translation>
    </message>
</context>
<context>
    <name>TFormAbout</name>
    <message>
        <source>About Quillet</source>
        <translation>Über Quillet</translation>
    </message>
    <message>
        <source>Quillet Version 1.5</source>
        <translation>Quillet Version 1.5</translation>
    </message>
    <message>
        <source>Copyright (C) 2026 The Quillet developers</source>
        <translation>Copyright (C) 2026 Die Quillet-Entwickler</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Home &amp;page:</source>
        <translation>Home&amp;page:</translation>
    </message>
    <message>
        <source>&amp;E-mail:</source>
        <translation>&amp;E-Mail:</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
</context>
<context>
    <name>TFormMain</name>
    <message>
        <source>This audio message brought to you by Quillet</source>
        <translation>Diese Sprachnachricht kommt mit Quillet</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Voice</source>
        <translation>&amp;Aufnahme</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <source>Clear all field</source>
        <translation>Alle Felder leeren</translation>
    </message>
    <message>
        <source>&amp;Send</source>
        <translation>&amp;Senden</translation>
    </message>
    <message>
        <source>Send out the message</source>
        <translation>Die Nachricht versenden</translation>
    </message>
    <message>
        <source>Save &amp;As...</source>
        <translation>Speichern &amp;unter...</translation>
    </message>
    <message>
        <source>Saves the active file with a new name</source>
        <translation>Speichert die Nachricht unter einem neuen Namen</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Speichern unter</translation>
    </message>
    <message>
        <source>O&amp;utbox...</source>
        <translation>&amp;Postausgang...</translation>
    </message>
    <message>
        <source>Voice e-mails waiting to be sent again</source>
        <translation>Sprach-E-Mails, die auf einen neuen Sendeversuch warten</translation>
    </message>
    <message>
        <source>Outbox</source>
        <translation>Postausgang</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <source>Setup your email account</source>
        <translation>Ihr E-Mail-Konto einrichten</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Exit the program</source>
        <translation>Das Programm beenden</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>&amp;Ausschneiden</translation>
    </message>
    <message>
        <source>Cuts the selection and puts it on the Clipboard</source>
        <translation>Schneidet die Auswahl aus und legt sie in die Zwischenablage</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Ausschneiden</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Copies the selection and puts it on the Clipboard</source>
        <translation>Kopiert die Auswahl in die Zwischenablage</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Einfügen</translation>
    </message>
    <message>
        <source>Inserts Clipboard contents</source>
        <translation>Fügt den Inhalt der Zwischenablage ein</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <source>&amp;Record</source>
        <translation>&amp;Aufnehmen</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnehmen</translation>
    </message>
    <message>
        <source>&amp;Play</source>
        <translation>&amp;Wiedergeben</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Wiedergeben</translation>
    </message>
    <message>
        <source>P&amp;ause</source>
        <translation>&amp;Pause</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>&amp;Stopp</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>&amp;Contents</source>
        <translation>&amp;Inhalt</translation>
    </message>
    <message>
        <source>Help Contents</source>
        <translation>Inhalt der Hilfe</translation>
    </message>
    <message>
        <source>&amp;Website</source>
        <translation>&amp;Website</translation>
    </message>
    <message>
        <source>Home page</source>
        <translation>Homepage</translation>
    </message>
    <message>
        <source>Contact &amp;us</source>
        <translation>&amp;Kontakt</translation>
    </message>
    <message>
        <source>E-mail us</source>
        <translation>Schreiben Sie uns</translation>
    </message>
    <message>
        <source>&amp;About Quillet...</source>
        <translation>Ü&amp;ber Quillet...</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Outbox: %1</source>
        <translation>Postausgang: %1</translation>
    </message>
    <message>
        <source>The voice e-mail to %1 (%2) was refused by some of its recipients (%3). The others will still get it.</source>
        <translation>Die Sprach-E-Mail an %1 (%2) wurde von einigen Empfängern abgelehnt (%3). Die anderen bekommen sie trotzdem.</translation>
    </message>
    <message>
        <source>The voice e-mail to %1 (%2) could not be delivered (%3). It is kept as %4 until you delete it.</source>
        <translation>Die Sprach-E-Mail an %1 (%2) konnte nicht zugestellt werden (%3). Sie bleibt als %4 erhalten, bis Sie sie löschen.</translation>
    </message>
    <message>
        <source>Email files (*.eml)|*.eml</source>
        <translation>E-Mail-Dateien (*.eml)|*.eml</translation>
    </message>
    <message>
        <source>This is the first time you use Quillet, please setup your account infomation.</source>
        <translation>Sie verwenden Quillet zum ersten Mal, bitte richten Sie Ihr E-Mail-Konto ein.</translation>
    </message>
    <message>
        <source>The input device &quot;%1&quot; is not available; recording from &quot;default&quot;.</source>
        <translation>Das Eingabegerät „%1“ ist nicht verfügbar; es wird von „default“ aufgenommen.</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>SHA-256 fingerprint of the certificate:
%1

Trust this certificate for %2 from now on? Choose Yes only if your mail provider confirms this fingerprint; then press Send again.</source>
        <translation>SHA-256-Fingerabdruck des Zertifikats:
%1

Diesem Zertifikat für %2 von nun an vertrauen? Wählen Sie „Ja“ nur, wenn Ihr E-Mail-Anbieter diesen Fingerabdruck bestätigt; senden Sie danach erneut.</translation>
    </message>
    <message>
        <source>Are you sure to overwrite?</source>
        <translation>Wirklich überschreiben?</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>The input device &quot;%1&quot; cannot record. %2</source>
        <translation>Das Eingabegerät „%1“ kann nicht aufnehmen. %2</translation>
    </message>
    <message>
        <source>The last recording could not be read; it was moved to %1</source>
        <translation>Die letzte Aufnahme konnte nicht gelesen werden; sie wurde verschoben nach %1</translation>
    </message>
    <message>
        <source>Recorded %1:%2, about %3 by mail</source>
        <translation>Aufgenommen %1:%2, etwa %3 als E-Mail</translation>
    </message>
    <message>
        <source>&amp;To:</source>
        <translation>A&amp;n:</translation>
    </message>
    <message>
        <source>&amp;Cc:</source>
        <translation>&amp;Cc:</translation>
    </message>
    <message>
        <source>&amp;Subject:</source>
        <translation>Be&amp;treff:</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Nachricht</translation>
    </message>
    <message>
        <source>The text of the e-mail that carries the recording</source>
        <translation>Der Text der E-Mail, der die Aufnahme beiliegt</translation>
    </message>
    <message>
        <source>Seconds recorded or played</source>
        <translation>Aufgenommene oder abgespielte Sekunden</translation>
    </message>
    <message>
        <source>Playback position</source>
        <translation>Wiedergabeposition</translation>
    </message>
</context>
<context>
    <name>TFormOptions</name>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>&amp;Audio Format</source>
        <translation>&amp;Audioformat</translation>
    </message>
    <message>
        <source>&amp;Sample Rate:</source>
        <translation>Ab&amp;tastrate:</translation>
    </message>
    <message>
        <source>&amp;Bit per Sample:</source>
        <translation>&amp;Bittiefe:</translation>
    </message>
    <message>
        <source>&amp;Input device:</source>
        <translation>E&amp;ingabegerät:</translation>
    </message>
    <message>
        <source>The ALSA capture device to record from</source>
        <translation>Das ALSA-Aufnahmegerät, von dem aufgenommen wird</translation>
    </message>
    <message>
        <source>&amp;Email Account</source>
        <translation>&amp;E-Mail-Konto</translation>
    </message>
    <message>
        <source>&amp;Find settings</source>
        <translation>Einstellungen &amp;suchen</translation>
    </message>
    <message>
        <source>Propose the server, port, security and sign-in for this address</source>
        <translation>Server, Port, Sicherheit und Anmeldung für diese Adresse vorschlagen</translation>
    </message>
    <message>
        <source>How to send your voice email</source>
        <translation>So wird Ihre Sprach-E-Mail gesendet</translation>
    </message>
    <message>
        <source>Seconds to wait for each server reply; 0 waits without limit</source>
        <translation>Sekunden, die auf jede Serverantwort gewartet wird; 0 wartet unbegrenzt</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>PEM file of the certificate authorities your server&apos;s certificate comes from, if not a public one</source>
        <translation>PEM-Datei der Zertifizierungsstellen, von denen das Zertifikat Ihres Servers stammt, falls es keine öffentliche ist</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>Eigener</translation>
    </message>
    <message>
        <source>Your own OAuth client id (a Google Cloud desktop client, or a Microsoft Entra app registration)</source>
        <translation>Ihre eigene OAuth-Client-ID (ein Desktop-Client in Google Cloud oder eine App-Registrierung in Microsoft Entra)</translation>
    </message>
    <message>
        <source>No sound from &quot;%1&quot;: %2</source>
        <translation>Kein Ton von „%1“: %2</translation>
    </message>
    <message>
        <source>Port must be a number from 1 to 65535.</source>
        <translation>Der Port muss eine Zahl von 1 bis 65535 sein.</translation>
    </message>
    <message>
        <source>Timeout must be a number of seconds from 0 (no limit) to 86400.</source>
        <translation>Das Zeitlimit muss eine Zahl von Sekunden von 0 (unbegrenzt) bis 86400 sein.</translation>
    </message>
    <message>
        <source>Looking for the settings...</source>
        <translation>Einstellungen werden gesucht...</translation>
    </message>
    <message>
        <source>No settings found for %1.</source>
        <translation>Keine Einstellungen für %1 gefunden.</translation>
    </message>
    <message>
        <source> Sign in with %1.</source>
        <translation> Melden Sie sich an mit %1.</translation>
    </message>
    <message>
        <source> Your own entries were kept.</source>
        <translation> Ihre eigenen Eingaben wurden beibehalten.</translation>
    </message>
    <message>
        <source>Certificates (*.pem *.crt)|*.pem;*.crt</source>
        <translation>Zertifikate (*.pem *.crt)|*.pem;*.crt</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Option pages</source>
        <translation>Seiten der Optionen</translation>
    </message>
    <message>
        <source>&amp;Level the voice and trim silence</source>
        <translation>&amp;Stimme angleichen und Stille kürzen</translation>
    </message>
    <message>
        <source>Reduce background &amp;noise</source>
        <translation>Hintergrundrauschen &amp;verringern</translation>
    </message>
    <message>
        <source>Your &amp;Name:</source>
        <translation>Ihr &amp;Name:</translation>
    </message>
    <message>
        <source>Your E-&amp;mail:</source>
        <translation>Ihre E-&amp;Mail:</translation>
    </message>
    <message>
        <source>Send &amp;directly without a SMTP server</source>
        <translation>Di&amp;rekt senden, ohne SMTP-Server</translation>
    </message>
    <message>
        <source>Send email &amp;by default email client (MAPI)</source>
        <translation>Mit dem Standard-E-Mail-Pro&amp;gramm senden (MAPI)</translation>
    </message>
    <message>
        <source>&amp;Use my SMTP Server:</source>
        <translation>Meinen SMTP-Server ver&amp;wenden:</translation>
    </message>
    <message>
        <source>&amp;SMTP Server:</source>
        <translation>SMTP-Ser&amp;ver:</translation>
    </message>
    <message>
        <source>Use&amp;r name:</source>
        <translation>&amp;Benutzer:</translation>
    </message>
    <message>
        <source>&amp;Password:</source>
        <translation>&amp;Passwort:</translation>
    </message>
    <message>
        <source>P&amp;ort:</source>
        <translation>P&amp;ort:</translation>
    </message>
    <message>
        <source>&amp;Timeout:</source>
        <translation>&amp;Zeitlimit:</translation>
    </message>
    <message>
        <source>Securit&amp;y:</source>
        <translation>Si&amp;cherheit:</translation>
    </message>
    <message>
        <source>CA &amp;certificates:</source>
        <translation>CA-Zertifi&amp;kate:</translation>
    </message>
    <message>
        <source>Choose the file of CA certificates</source>
        <translation>Datei mit CA-Zertifikaten wählen</translation>
    </message>
    <message>
        <source>Si&amp;gn-in:</source>
        <translation>Anmeld&amp;ung:</translation>
    </message>
    <message>
        <source>Ser&amp;vice:</source>
        <translation>Diens&amp;t:</translation>
    </message>
    <message>
        <source>C&amp;lient ID:</source>
        <translation>Client-&amp;ID:</translation>
    </message>
    <message>
        <source>Sign &amp;in…</source>
        <translation>Anmel&amp;den…</translation>
    </message>
    <message>
        <source>Cancel s&amp;ign-in</source>
        <translation>Anme&amp;ldung abbrechen</translation>
    </message>
</context>
<context>
    <name>TFormOutbox</name>
    <message>
        <source>Outbox</source>
        <translation>Postausgang</translation>
    </message>
    <message>
        <source>this voice e-mail</source>
        <translation>diese Sprach-E-Mail</translation>
    </message>
    <message>
        <source>the voice e-mail to %1 (%2)</source>
        <translation>die Sprach-E-Mail an %1 (%2)</translation>
    </message>
    <message>
        <source>Delete %1 from the Outbox? It will not be sent.</source>
        <translation>%1 aus dem Postausgang löschen? Sie wird dann nicht gesendet.</translation>
    </message>
    <message>
        <source>Delete these %1 voice e-mails from the Outbox? They will not be sent.</source>
        <translation>Diese %1 Sprach-E-Mails aus dem Postausgang löschen? Sie werden dann nicht gesendet.</translation>
    </message>
    <message>
        <source>One voice e-mail is being sent right now and was not deleted; try again in a moment if it is still there.</source>
        <translation>Eine Sprach-E-Mail wird gerade gesendet und wurde nicht gelöscht; versuchen Sie es gleich noch einmal, falls sie dann noch da ist.</translation>
    </message>
    <message>
        <source>%1 voice e-mails are being sent right now and were not deleted; try again in a moment if they are still there.</source>
        <translation>%1 Sprach-E-Mails werden gerade gesendet und wurden nicht gelöscht; versuchen Sie es gleich noch einmal, falls sie dann noch da sind.</translation>
    </message>
    <message>
        <source>Select one voice e-mail to save.</source>
        <translation>Wählen Sie eine Sprach-E-Mail zum Speichern aus.</translation>
    </message>
    <message>
        <source>Cannot save %1: %2</source>
        <translation>%1 kann nicht gespeichert werden: %2</translation>
    </message>
    <message>
        <source>Voice e-mails waiting to be sent</source>
        <translation>Sprach-E-Mails, die auf das Senden warten</translation>
    </message>
    <message>
        <source>&amp;Send Now</source>
        <translation>&amp;Jetzt senden</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Save &amp;As...</source>
        <translation>Speichern &amp;unter...</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
</context>
<context>
    <name>TFormWait</name>
    <message>
        <source>Compressing, please wait...</source>
        <translation>Komprimieren, bitte warten...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>TLevelMeter</name>
    <message>
        <source>Input level</source>
        <translation>Eingangspegel</translation>
    </message>
    <message>
        <source>%1 dB</source>
        <translation>%1 dB</translation>
    </message>
    <message>
        <source>The loudest peak of the input in the last second, in dB below the loudest sound a recording can hold</source>
        <translation>Die lauteste Spitze des Eingangs in der letzten Sekunde, in dB unter dem lautesten Ton, den eine Aufnahme fassen kann</translation>
    </message>
</context>
<context>
    <name>TOutboxModel</name>
    <message>
        <source>%1 bytes</source>
        <translation>%1 Bytes</translation>
    </message>
    <message>
        <source>%1 KB</source>
        <translation>%1 KB</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>The envelope cannot be read: %1</source>
        <translation>Der Umschlag kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>To</source>
        <translation>An</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>Betreff</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Attempts</source>
        <translation>Versuche</translation>
    </message>
    <message>
        <source>Last reply</source>
        <translation>Letzte Antwort</translation>
    </message>
    <message>
        <source>Next try</source>
        <translation>Nächster Versuch</translation>
    </message>
</context>
<context>
    <name>Text</name>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>„%1“ ist keine gültige ganze Zahl</translation>
    </message>
</context>
<context>
    <name>WAVFile</name>
    <message>
        <source>format tag %1, not PCM (1)</source>
        <translation>Format-Tag %1, nicht PCM (1)</translation>
    </message>
    <message>
        <source>%1 channels (1 or 2 expected)</source>
        <translation>%1 Kanäle (1 oder 2 erwartet)</translation>
    </message>
    <message>
        <source>%1 bits per sample (8 or 16 expected)</source>
        <translation>%1 Bit pro Sample (8 oder 16 erwartet)</translation>
    </message>
    <message>
        <source>sample rate %1 Hz (%2 to %3 expected)</source>
        <translation>Abtastrate %1 Hz (%2 bis %3 erwartet)</translation>
    </message>
    <message>
        <source>block align %1, not %2 (channels * bits / 8)</source>
        <translation>Block-Align %1, nicht %2 (Kanäle * Bits / 8)</translation>
    </message>
    <message>
        <source>byte rate %1, not %2 (sample rate * block align)</source>
        <translation>Byterate %1, nicht %2 (Abtastrate * Block-Align)</translation>
    </message>
    <message>
        <source>the header is cut short</source>
        <translation>der Kopf ist abgeschnitten</translation>
    </message>
    <message>
        <source>no RIFF WAVE header</source>
        <translation>kein RIFF-WAVE-Kopf</translation>
    </message>
    <message>
        <source>no fmt chunk before the data chunk</source>
        <translation>kein fmt-Chunk vor dem data-Chunk</translation>
    </message>
    <message>
        <source>the data chunk runs past the end of the file (%1 bytes announced, %2 there)</source>
        <translation>der data-Chunk reicht über das Dateiende hinaus (%1 Bytes angekündigt, %2 vorhanden)</translation>
    </message>
    <message>
        <source>fmt chunk of %1 bytes (16 or 18 expected)</source>
        <translation>fmt-Chunk mit %1 Bytes (16 oder 18 erwartet)</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is no WAV file</source>
        <translation>„%1“ ist keine WAV-Datei</translation>
    </message>
    <message>
        <source>&apos;%1&apos; has no sound data</source>
        <translation>„%1“ enthält keine Tondaten</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is no PCM sound</source>
        <translation>„%1“ ist kein PCM-Ton</translation>
    </message>
    <message>
        <source>&apos;%1&apos; has no usable format</source>
        <translation>„%1“ hat kein verwendbares Format</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Quillet needs a graphical desktop: no DISPLAY or WAYLAND_DISPLAY is set.
Start it from a desktop session, or under Xvfb (xvfb-run scripts/run).
</source>
        <translation>Quillet braucht einen grafischen Desktop: weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt.
Starten Sie es aus einer Desktop-Sitzung oder unter Xvfb (xvfb-run scripts/run).
</translation>
    </message>
</context>
<context>
    <name>quillet-send</name>
    <message>
        <source>the input device &quot;%1&quot; is not available; recording from &quot;default&quot;</source>
        <translation>das Eingabegerät „%1“ ist nicht verfügbar; es wird von „default“ aufgenommen</translation>
    </message>
    <message>
        <source>Recording cancelled.</source>
        <translation>Aufnahme abgebrochen.</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>Gespeichert: %1</translation>
    </message>
    <message>
        <source>Cannot read the settings file %1: %2</source>
        <translation>Die Einstellungsdatei %1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a way of sending; SendType must be SMTP, Direct or MAPI</source>
        <translation>„%1“ ist keine Versandart; SendType muss SMTP, Direct oder MAPI sein</translation>
    </message>
    <message>
        <source>the envelope cannot be read: %1</source>
        <translation>der Umschlag kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>Sent %1</source>
        <translation>Gesendet: %1</translation>
    </message>
    <message>
        <source>%1 could not be sent now (%2); next try at %3.</source>
        <translation>%1 konnte jetzt nicht gesendet werden (%2); nächster Versuch um %3.</translation>
    </message>
    <message>
        <source>%1 was not delivered (%2).</source>
        <translation>%1 wurde nicht zugestellt (%2).</translation>
    </message>
    <message>
        <source> It is kept as %1.</source>
        <translation> Sie bleibt als %1 erhalten.</translation>
    </message>
    <message>
        <source>Open this address in a browser on this computer to sign in:</source>
        <translation>Öffnen Sie diese Adresse in einem Browser auf diesem Computer, um sich anzumelden:</translation>
    </message>
    <message>
        <source>No settings found for %1.</source>
        <translation>Keine Einstellungen für %1 gefunden.</translation>
    </message>
    <message>
        <source>Sign in with %1.</source>
        <translation>Melden Sie sich an mit %1.</translation>
    </message>
    <message>
        <source>--sign-in needs Auth=OAuth2 in section [SMTP] of %1.</source>
        <translation>--sign-in braucht Auth=OAuth2 im Abschnitt [SMTP] von %1.</translation>
    </message>
    <message>
        <source>The settings take the token from TokenCommand; there is nothing to sign in to.</source>
        <translation>Die Einstellungen holen das Token über TokenCommand; es gibt nichts, wobei Sie sich anmelden müssten.</translation>
    </message>
    <message>
        <source>To sign in, open %1 in a browser and enter the code %2</source>
        <translation>Öffnen Sie zum Anmelden %1 in einem Browser und geben Sie den Code %2 ein</translation>
    </message>
    <message>
        <source>Cannot read the recording %1: %2</source>
        <translation>Die Aufnahme %1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>Cannot copy the recording %1: %2</source>
        <translation>Die Aufnahme %1 kann nicht kopiert werden: %2</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a usable WAV file: %2</source>
        <translation>„%1“ ist keine verwendbare WAV-Datei: %2</translation>
    </message>
    <message>
        <source>Cannot record from the input device &quot;%1&quot;: %2</source>
        <translation>Vom Eingabegerät „%1“ kann nicht aufgenommen werden: %2</translation>
    </message>
    <message>
        <source>Cannot record: %1</source>
        <translation>Aufnahme nicht möglich: %1</translation>
    </message>
    <message>
        <source>no sound was captured</source>
        <translation>es wurde kein Ton aufgenommen</translation>
    </message>
</context>
</TS>
