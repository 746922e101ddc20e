# bash completion for tellunectl

_tellunectl() {
    local cur prev words cword
    _init_completion || return

    local i command= action=
    for ((i = 1; i < cword; i++)); do
        case "${words[i]}" in
            -*) ;;
            *)
                if [[ -z $command ]]; then
                    command=${words[i]}
                elif [[ ($command == profile || $command == macro) && -z $action ]]; then
                    action=${words[i]}
                fi
                ;;
        esac
    done

    local devices="mouse pad keyboard headset"
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "--emulate --json --help list dpi rate lift light profile keymap macro" -- "$cur"))
        return
    fi
    case $prev in
        --mode)
            # The modes of the mouse and of the pad, as DefaultData/default_light.json names them.
            COMPREPLY=($(compgen -W "wave ripple spectrum group_spectrum breathing static
                reactive off custom four_colour_breathing four_colour_blink fixed_pattern blink
                marquee mirror_spectrum" -- "$cur"))
            return
            ;;
        --direction)
            COMPREPLY=($(compgen -W "left right" -- "$cur"))
            return
            ;;
        --stage | --active)
            COMPREPLY=($(compgen -W "1 2 3 4 5 6 7 8" -- "$cur"))
            return
            ;;
        --brightness | --speed)
            COMPREPLY=($(compgen -W "0 1 2 3 4" -- "$cur"))
            return
            ;;
        --value | --colour | --color)
            return
            ;;
    esac
    case $command in
        list) COMPREPLY=($(compgen -W "--help" -- "$cur")) ;;
        dpi)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--stage --value --active --help" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "mouse" -- "$cur"))
            fi
            ;;
        rate)
            if [[ $prev == rate ]]; then
                COMPREPLY=($(compgen -W "mouse" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "125 250 500 1000 2000" -- "$cur"))
            fi
            ;;
        lift)
            if [[ $prev == lift ]]; then
                COMPREPLY=($(compgen -W "mouse" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "1 2 3" -- "$cur"))
            fi
            ;;
        light)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--mode --colour --brightness --speed --direction --help" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "mouse pad" -- "$cur"))
            fi
            ;;
        profile)
            if [[ -z $action ]]; then
                COMPREPLY=($(compgen -W "list show apply export import --help" -- "$cur"))
            elif [[ $prev == "$action" ]]; then
                COMPREPLY=($(compgen -W "$devices" -- "$cur"))
            elif [[ $action == export || $action == import ]]; then
                _filedir json
            fi
            ;;
        keymap)
            # keymap DEVICE KEY FUNCTION
            local args=0 device=
            for ((i = 1; i < cword; i++)); do
                if [[ ${words[i]} != -* ]]; then
                    ((args++))
                    ((args == 2)) && device=${words[i]}
                fi
            done
            case $args in
                1) COMPREPLY=($(compgen -W "mouse keyboard --help" -- "$cur")) ;;
                2)
                    if [[ $device == keyboard* || $device == */keyboard* ]]; then
                        # The keyboard's key names, as `tellunectl keymap keyboard` lists them.
                        COMPREPLY=($(compgen -W "esc f1 f2 f3 f4 f5 f6 f7 f8 f9 f10 f11 f12
                            print-screen scroll-lock pause gm grave digit-1 digit-2 digit-3
                            digit-4 digit-5 digit-6 digit-7 digit-8 digit-9 digit-0 minus equal
                            backspace insert home page-up num-lock numpad-slash numpad-star
                            numpad-minus tab q w e r t y u i o p lbracket rbracket backslash
                            delete end page-down numpad-7 numpad-8 numpad-9 capslock a s d f g h
                            j k l semicolon quote enter numpad-4 numpad-5 numpad-6 henkan
                            muhenkan hangul hanja kana lshift z x c v b n m comma period slash
                            rshift up numpad-1 numpad-2 numpad-3 ro yen iso-backslash
                            numpad-comma lctrl lwin lalt space ralt app rctrl left down right
                            numpad-0 numpad-period numpad-enter numpad-plus m1 m2 m3 m4 m5
                            rwin" -- "$cur"))
                    else
                        COMPREPLY=($(compgen -W "left right middle side1 side2 dpi-up dpi-down
                            fire button9 button10 button11" -- "$cur"))
                    fi
                    ;;
                3)
                    compopt -o nospace 2>/dev/null
                    COMPREPLY=($(compgen -W "default disabled fixed key: mouse: dpi: media:
                        system: swing: wheel: fire: macro: recoil:" -- "$cur"))
                    [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} != *: ]] && compopt +o nospace 2>/dev/null
                    ;;
            esac
            ;;
        macro)
            if [[ -z $action ]]; then
                COMPREPLY=($(compgen -W "list export import --help" -- "$cur"))
            elif [[ $prev == "$action" ]]; then
                COMPREPLY=($(compgen -W "mouse keyboard" -- "$cur"))
            elif [[ $action == import ]]; then
                _filedir mac
            elif [[ $action == export ]]; then
                _filedir
            fi
            ;;
    esac
} &&
    complete -F _tellunectl tellunectl
