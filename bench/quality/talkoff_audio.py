#!/usr/bin/env python3
"""Hours of speech and real music for the talk-off rows, made once and kept.

Speech comes from two synthesisers (espeak-ng in many languages, festival's
voices in English and Italian), music from the game soundtracks package; all
is brought to 8000 samples/s signed 16-bit and kept in CACHE, so later runs
only read it. Generation runs at low priority (nice 10).
Usage: talkoff_audio.py CACHE [SPEECH_HOURS]
"""
import glob
import os
import random
import subprocess
import sys

TEXTS = [
    ("en", "The quick brown fox jumps over the lazy dog, and then it runs back into the forest to find its friends. "
           "Please call me back at your earliest convenience; my number is five five five, one two three four. "
           "Good morning! This is an automated message from your pharmacy. Your prescription is ready for pick up. "
           "Ladies and gentlemen, the train now arriving at platform nine is the express service to the airport. "
           "We are sorry, all our agents are busy at the moment. Please stay on the line and your call will be "
           "answered in the order it was received. Press one for sales, two for support, or hold for an operator."),
    ("de", "Ein Wiener Walzer ist ein schneller Tanz, der seit Jahrhunderten in den Ballsaelen Europas getanzt wird. "
           "Bitte rufen Sie uns zurueck, unsere Nummer ist null acht neun, vier vier drei, zwei eins. "
           "Der Zug nach Hamburg hat heute etwa zwanzig Minuten Verspaetung, wir bitten um Ihr Verstaendnis."),
    ("fr", "La vie est belle quand le soleil brille et que les oiseaux chantent dans les arbres du jardin. "
           "Votre appel est important pour nous, merci de patienter quelques instants. "
           "Le rendez-vous est fixe a mardi prochain, a neuf heures et quart, au deuxieme etage."),
    ("it", "Il treno per Milano parte dal binario sette alle nove e mezza, si prega di non dimenticare i bagagli. "
           "Buongiorno, sono Maria, la richiamo domani mattina per confermare l'appuntamento dal dentista. "
           "La riunione di oggi pomeriggio e' stata spostata alle quattro, nella sala grande al primo piano."),
    ("es", "Hola, como estas? Me gustaria reservar una mesa para cuatro personas esta noche a las ocho. "
           "Su llamada es muy importante para nosotros; por favor, espere y sera atendido en breve. "
           "El vuelo con destino a Madrid sale por la puerta doce con un retraso de media hora."),
    ("pt", "Bom dia, o seu pedido foi enviado hoje e deve chegar dentro de tres dias uteis. "
           "Por favor, ligue de volta para o numero nove oito sete, seis cinco quatro, tres dois."),
    ("ru", "Dobryi den, vash zakaz gotov, vy mozhete zabrat ego v lyuboe vremya do semi chasov vechera."),
    ("nl", "Goedemiddag, u bent verbonden met de klantenservice. Een ogenblik geduld alstublieft."),
]
ESPEAK_VOICES = {
    "en": ["en-us", "en-gb", "en-sc"], "de": ["de"], "fr": ["fr-fr"], "it": ["it"], "es": ["es", "es-419"],
    "pt": ["pt-br", "pt"], "ru": ["ru"], "nl": ["nl"],
}
VARIANTS = ["", "+f1", "+f2", "+f3", "+f4", "+m1", "+m2", "+m3", "+m4", "+m7"]
FESTIVAL_VOICES = {"en": ["cmu_us_slt_arctic_hts", "kal_diphone"], "it": ["lp_diphone", "pc_diphone"]}
RATE = 8000


def to_s16(wav):
    return subprocess.run(["nice", "-n", "10", "sox", "-R", "-t", "wav", "-", "-t", "raw", "-r", str(RATE), "-e",
                           "signed", "-b", "16", "-c", "1", "-"], input=wav, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, check=True).stdout


def espeak(voice, rate, pitch, text):
    return subprocess.run(["nice", "-n", "10", "espeak-ng", "-v", voice, "-s", str(rate), "-p", str(pitch), "--stdout",
                           text], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout


def festival(voice, text, path):
    subprocess.run(["nice", "-n", "10", "text2wave", "-eval", f"(voice_{voice})", "-o", path], input=text.encode(),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(path, "rb") as f:
        return f.read()


def make_speech(path, hours):
    """About a tenth of the pieces festival (slower to make), the rest espeak-ng; written in pieces so an interrupted run resumes."""
    target = int(hours * 3600 * RATE * 2)
    have = os.path.getsize(path) if os.path.exists(path) else 0
    rnd = random.Random(13 + have)
    tmp = path + ".wav"
    with open(path, "ab") as out:
        while have < target:
            lang, text = rnd.choice(TEXTS)
            if lang in FESTIVAL_VOICES and rnd.random() < 0.1:
                wav = festival(rnd.choice(FESTIVAL_VOICES[lang]), text, tmp)
            else:
                voice = rnd.choice(ESPEAK_VOICES[lang]) + rnd.choice(VARIANTS)
                wav = espeak(voice, rnd.randint(110, 260), rnd.randint(10, 90), text)
            if wav:
                samples = to_s16(wav)
                out.write(samples)
                have += len(samples)
    if os.path.exists(tmp):
        os.remove(tmp)


def make_music(path):
    files = sorted(glob.glob("/usr/share/games/wesnoth/*/data/core/music/*.ogg"))
    if not files:
        return False
    with open(path + ".part", "wb") as out:
        for f in files:
            out.write(subprocess.run(["nice", "-n", "10", "sox", "-R", f, "-t", "raw", "-r", str(RATE), "-e", "signed",
                                      "-b", "16", "-c", "1", "-", "remix", "-"], stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, check=True).stdout)
    os.replace(path + ".part", path)
    return True


def speech_path(cache, hours):
    return os.path.join(cache, f"speech-{hours:g}h.s16")


def music_path(cache):
    return os.path.join(cache, "music.s16")


def ensure(cache, hours):
    """Returns (speech path, music path or None when the package is missing)."""
    os.makedirs(cache, exist_ok=True)
    speech = speech_path(cache, hours)
    done = speech + ".done"
    if not os.path.exists(done):
        make_speech(speech, hours)
        open(done, "w").close()
    music = music_path(cache)
    if not os.path.exists(music) and not make_music(music):
        music = None
    return speech, music


if __name__ == "__main__":
    print(ensure(sys.argv[1], float(sys.argv[2]) if len(sys.argv) > 2 else 10.0))
